#include "discovery/ShownText.h"

#include <algorithm>

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

// What must not reach the screen as it is: C0 and DEL (one byte), C1 (U+0080 to U+009F), the
// line and paragraph separators U+2028 and U+2029, which break a line as a line feed does, and
// the direction embeddings, overrides and isolates (U+202A to U+202E, U+2066 to U+2069), which
// can show an address reversed.
bool IsBlanked(std::string_view character) {
    const auto byte = [&character](std::size_t i) {
        return static_cast<unsigned char>(character[i]);
    };
    switch (character.size()) {
    case 1:
        return byte(0) < 0x20 || byte(0) == 0x7F;
    case 2:
        return byte(0) == 0xC2 && byte(1) < 0xA0;
    case 3:
        return byte(0) == 0xE2 && ((byte(1) == 0x80 && byte(2) >= 0xA8 && byte(2) <= 0xAE) ||
                                   (byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9));
    default:
        return false;
    }
}

} // namespace

std::string ShownText(std::string_view raw, std::size_t limit) {
    std::string text;
    text.reserve(std::min(raw.size(), limit));
    while (!raw.empty()) {
        const auto length = SequenceLength(raw);
        const auto character = length == 0                        ? kReplacement
                               : IsBlanked(raw.substr(0, length)) ? std::string_view(" ")
                                                                  : raw.substr(0, length);
        if (character.size() > limit - text.size()) {
            break;
        }
        text.append(character);
        raw.remove_prefix(length == 0 ? 1 : length);
    }
    return text;
}
