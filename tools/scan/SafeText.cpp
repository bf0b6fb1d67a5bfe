#include "SafeText.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at the start of text, 0 when there is none.
std::size_t SequenceLength(std::string_view text) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(byte(i))) {
            return 0;
        }
    }
    return length;
}

} // namespace

std::string SafeText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        const auto length = SequenceLength(bytes);
        const auto c = static_cast<unsigned char>(bytes[0]);
        if (length == 0) {
            text += kReplacement;
            bytes.remove_prefix(1);
            continue;
        }
        if (c == '\t' || c == '\r' || c == '\n') {
            text += ' ';
        } else if (c < 0x20 || c == 0x7F ||
                   (c == 0xC2 && static_cast<unsigned char>(bytes[1]) < 0xA0)) {
            text += kReplacement; // C0, DEL and C1 controls
        } else {
            text.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    return text;
}

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
