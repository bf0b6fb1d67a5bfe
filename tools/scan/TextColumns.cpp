#include "TextColumns.h"

namespace {

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

} // namespace

std::size_t TextWidth(std::string_view text) {
    std::size_t width = 0;
    for (const char c : text) {
        width += IsContinuation(static_cast<unsigned char>(c)) ? 0 : 1;
    }
    return width;
}

std::string CutText(const std::string& text, std::size_t width) {
    if (TextWidth(text) <= width || width == 0) {
        return width == 0 ? std::string() : text;
    }
    std::size_t kept = 0;
    std::size_t end = 0;
    while (end < text.size()) {
        if (!IsContinuation(static_cast<unsigned char>(text[end])) && ++kept == width) {
            break;
        }
        ++end;
    }
    return text.substr(0, end) + "\xE2\x80\xA6";
}
