#include "discovery/XmlReferences.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {
    {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};

// Longer numbers than these cannot name a code point, and would overflow.
constexpr std::size_t kMaxDecimalDigits = 7;
constexpr std::size_t kMaxHexDigits = 6;

bool IsShownCharacter(std::uint32_t code) {
    const bool control = code < 0x20 || (code >= 0x7f && code <= 0x9f);
    const bool surrogate = code >= 0xd800 && code <= 0xdfff;
    const bool noncharacter = (code >= 0xfdd0 && code <= 0xfdef) || (code & 0xfffe) == 0xfffe;
    return !control && !surrogate && !noncharacter && code <= 0x10ffff;
}

int DigitValue(char c, int base) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (base == 16 && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (base == 16 && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The code point of a character reference's body ("#39", "#x27"), if it names a shown character.
std::optional<std::uint32_t> CharacterReference(std::string_view body) {
    const bool hex = body.size() > 1 && body[1] == 'x';
    const int base = hex ? 16 : 10;
    const auto digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > (hex ? kMaxHexDigits : kMaxDecimalDigits)) {
        return std::nullopt;
    }
    std::uint32_t code = 0;
    for (const char c : digits) {
        const int value = DigitValue(c, base);
        if (value < 0) {
            return std::nullopt;
        }
        code = code * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(value);
    }
    if (!IsShownCharacter(code)) {
        return std::nullopt;
    }
    return code;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    auto byte = [&out](std::uint32_t value) { out.push_back(static_cast<char>(value)); };
    if (code < 0x80) {
        byte(code);
    } else if (code < 0x800) {
        byte(0xc0 | (code >> 6));
        byte(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        byte(0xe0 | (code >> 12));
        byte(0x80 | ((code >> 6) & 0x3f));
        byte(0x80 | (code & 0x3f));
    } else {
        byte(0xf0 | (code >> 18));
        byte(0x80 | ((code >> 12) & 0x3f));
        byte(0x80 | ((code >> 6) & 0x3f));
        byte(0x80 | (code & 0x3f));
    }
}

// Appends what the reference body between '&' and ';' stands for; false when it stays as written.
bool AppendReference(std::string& out, std::string_view body) {
    if (!body.empty() && body[0] == '#') {
        const auto code = CharacterReference(body);
        if (code) {
            AppendUtf8(out, *code);
        }
        return code.has_value();
    }
    for (const auto& [name, character] : kEntities) {
        if (body == name) {
            out.push_back(character);
            return true;
        }
    }
    return false;
}

} // namespace

std::string DecodeXmlReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto amp = text.find('&', i);
        out.append(text.substr(i, amp == std::string_view::npos ? amp : amp - i));
        if (amp == std::string_view::npos) {
            break;
        }
        // A reference is short: look for its ';' only within the longest one.
        const auto end = text.substr(amp + 1, 2 + kMaxDecimalDigits + 1).find(';');
        if (end != std::string_view::npos && AppendReference(out, text.substr(amp + 1, end))) {
            i = amp + 1 + end + 1;
        } else {
            out.push_back('&');
            i = amp + 1;
        }
    }
    return out;
}
