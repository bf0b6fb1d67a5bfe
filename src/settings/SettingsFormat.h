#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The text form of one root of the settings store, for example:
//
//   [SOFTWARE\Korvane\Pathmere]
//   "Language"=sz:"TR"
//   "Count"=dword:42
//
// Keys and value names are matched without regard to ASCII letter case, as the registry does,
// and keep the spelling of their first write. Names and strings are quoted with the escapes
// \\ \" \n \r \t and \xHH; a line starting with '#' or ';' is a comment.
namespace settings {

inline constexpr std::string_view kString = "sz";
inline constexpr std::string_view kExpandString = "expand_sz";
inline constexpr std::string_view kNumber = "dword";

struct Value {
    std::string name;
    std::string type;
    // The decoded text of a string; the payload as written for any other type.
    std::string data;
};

struct Key {
    std::string path;
    std::vector<Value> values;
    // Lines of the key's section that could not be read, kept as written.
    std::vector<std::string> unread;
};

struct Store {
    std::vector<Key> keys;
    // What could not be read, kept as written so that a rewrite loses none of it: lines before
    // the first section, and whole sections whose name line could not be read.
    std::vector<std::string> unreadBeforeKeys;
    std::vector<std::vector<std::string>> unreadSections;
};

// A line or a section that cannot be read is kept aside (see Store) and the rest is read. Null
// when nothing at all could be read: the text is not a store.
std::optional<Store> ParseStore(std::string_view text);
std::string FormatStore(const Store& store, std::string_view comment);

const Value* FindValue(const Store& store, std::string_view keyPath, std::string_view name);
// Creates the key and the value when missing; replaces the type and data otherwise.
void SetValue(Store& store, std::string_view keyPath, std::string_view name, std::string_view type,
              std::string_view data);

// A key path as passed by callers ("\SOFTWARE\Korvane\Pathmere\") to the key's name in the
// store ("SOFTWARE\Korvane\Pathmere"). The registry ignores a trailing backslash, so a path
// with one and a path without are the same key. Null for a path that cannot be stored: one
// with a control character, or with an empty component ("A\\B", "\\A"). Normalising a
// normalised path gives it back unchanged.
std::optional<std::string> NormalizeKeyPath(std::string_view keyPath);

} // namespace settings
