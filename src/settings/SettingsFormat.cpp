#include "settings/SettingsFormat.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace settings {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void AppendQuoted(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : text) {
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        default:
            if (IsControl(c)) {
                const auto byte = static_cast<unsigned char>(c);
                out.append("\\x").push_back(kHex[byte >> 4]);
                out.push_back(kHex[byte & 0xf]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a quoted text at the start of `text` and moves `text` past it.
std::optional<std::string> TakeQuoted(std::string_view& text) {
    if (text.empty() || text.front() != '"')
        return std::nullopt;
    std::string out;
    std::size_t i = 1;
    for (; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '"':
            out.push_back('"');
            break;
        case '\\':
            out.push_back('\\');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'x': {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = HexDigit(text[i + 1]);
            const int low = HexDigit(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    if (i == text.size())
        return std::nullopt;
    text.remove_prefix(i + 1);
    return out;
}

bool IsTypeWord(std::string_view word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

// `"name"=type:payload`; strings must be quoted, numbers decimal, other types are kept as
// written so that a rewrite preserves them.
std::optional<Value> ParseValueLine(std::string_view line) {
    Value value;
    auto name = TakeQuoted(line);
    line = Trim(line);
    if (!name || line.empty() || line.front() != '=')
        return std::nullopt;
    value.name = std::move(*name);
    line = Trim(line.substr(1));
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || !IsTypeWord(line.substr(0, colon)))
        return std::nullopt;
    value.type = line.substr(0, colon);
    std::string_view payload = Trim(line.substr(colon + 1));
    if (value.type == kString || value.type == kExpandString) {
        auto text = TakeQuoted(payload);
        if (!text || !payload.empty())
            return std::nullopt;
        value.data = std::move(*text);
    } else if (value.type == kNumber) {
        std::uint32_t number = 0;
        const auto end = payload.data() + payload.size();
        const auto [last, error] = std::from_chars(payload.data(), end, number);
        if (payload.empty() || error != std::errc{} || last != end)
            return std::nullopt;
        value.data = payload;
    } else {
        if (std::any_of(payload.begin(), payload.end(), IsControl))
            return std::nullopt;
        value.data = payload;
    }
    return value;
}

Key* FindKey(Store& store, std::string_view path) {
    const auto key = std::find_if(store.keys.begin(), store.keys.end(),
                                  [&](const Key& k) { return SameName(k.path, path); });
    return key == store.keys.end() ? nullptr : &*key;
}

Key& KeyOf(Store& store, std::string_view path) {
    if (Key* key = FindKey(store, path))
        return *key;
    return store.keys.emplace_back(Key{std::string(path), {}, {}});
}

} // namespace

std::optional<Store> ParseStore(std::string_view text) {
    Store store;
    std::optional<std::string> currentPath;
    std::vector<std::string>* unreadSection = nullptr; // set while in a section not read
    bool readSomething = false;
    bool skippedSomething = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // Carriage returns go with the blanks at the end: a line kept as written must read
        // back the same after its rewrite ends it with a newline.
        line = Trim(line);
        while (!line.empty() && line.back() == '\r')
            line = Trim(line.substr(0, line.size() - 1));
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const auto path = line.back() == ']' ? NormalizeKeyPath(line.substr(1, line.size() - 2))
                                                 : std::nullopt;
            if (path) {
                KeyOf(store, *path);
                currentPath = path;
                unreadSection = nullptr;
                readSomething = true;
            } else {
                unreadSection = &store.unreadSections.emplace_back();
                unreadSection->emplace_back(line);
                skippedSomething = true;
            }
            continue;
        }
        if (unreadSection != nullptr) {
            unreadSection->emplace_back(line);
            continue;
        }
        auto value = ParseValueLine(line);
        if (!value) {
            (currentPath ? FindKey(store, *currentPath)->unread : store.unreadBeforeKeys)
                .emplace_back(line);
            skippedSomething = true;
            continue;
        }
        if (!currentPath) {
            store.unreadBeforeKeys.emplace_back(line); // a value needs a key
            skippedSomething = true;
            continue;
        }
        // As when a registry file is imported, a later line for the same value wins.
        SetValue(store, *currentPath, value->name, value->type, value->data);
        readSomething = true;
    }
    if (skippedSomething && !readSomething)
        return std::nullopt;
    return store;
}

std::string FormatStore(const Store& store, std::string_view comment) {
    const auto appendLines = [](std::string& out, const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            out.append(line).push_back('\n');
    };
    std::string out;
    out.append("# ").append(comment).append("\n");
    appendLines(out, store.unreadBeforeKeys);
    for (const Key& key : store.keys) {
        out.append("\n[").append(key.path).append("]\n");
        for (const Value& value : key.values) {
            AppendQuoted(out, value.name);
            out.append("=").append(value.type).append(":");
            if (value.type == kString || value.type == kExpandString)
                AppendQuoted(out, value.data);
            else
                out.append(value.data);
            out.push_back('\n');
        }
        appendLines(out, key.unread);
    }
    for (const auto& section : store.unreadSections) {
        out.push_back('\n');
        appendLines(out, section);
    }
    return out;
}

const Value* FindValue(const Store& store, std::string_view keyPath, std::string_view name) {
    for (const Key& key : store.keys) {
        if (!SameName(key.path, keyPath))
            continue;
        for (const Value& value : key.values) {
            if (SameName(value.name, name))
                return &value;
        }
    }
    return nullptr;
}

void SetValue(Store& store, std::string_view keyPath, std::string_view name, std::string_view type,
              std::string_view data) {
    Key& key = KeyOf(store, keyPath);
    const auto value = std::find_if(key.values.begin(), key.values.end(),
                                    [&](const Value& v) { return SameName(v.name, name); });
    if (value == key.values.end()) {
        key.values.push_back(Value{std::string(name), std::string(type), std::string(data)});
        return;
    }
    value->type = type;
    value->data = data;
}

std::optional<std::string> NormalizeKeyPath(std::string_view keyPath) {
    if (!keyPath.empty() && keyPath.front() == '\\')
        keyPath.remove_prefix(1);
    if (!keyPath.empty() && keyPath.back() == '\\')
        keyPath.remove_suffix(1);
    // What is left must not start or end with a backslash either: stripping one more on the
    // next read would name another key, and a key read and written back must stay the same.
    if (std::any_of(keyPath.begin(), keyPath.end(), IsControl) ||
        keyPath.find("\\\\") != std::string_view::npos ||
        (!keyPath.empty() && (keyPath.front() == '\\' || keyPath.back() == '\\')))
        return std::nullopt;
    return std::string(keyPath);
}

} // namespace settings
