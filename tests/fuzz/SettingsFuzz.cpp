// libFuzzer target: the settings store's reader, and the promise that whatever it accepts reads
// back the same after the program writes it again.
#include "settings/SettingsFormat.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

bool SameStore(const settings::Store& a, const settings::Store& b) {
    if (a.keys.size() != b.keys.size())
        return false;
    for (std::size_t k = 0; k < a.keys.size(); ++k) {
        const settings::Key& left = a.keys[k];
        const settings::Key& right = b.keys[k];
        if (left.path != right.path || left.values.size() != right.values.size() ||
            left.unread != right.unread)
            return false;
        for (std::size_t v = 0; v < left.values.size(); ++v) {
            if (left.values[v].name != right.values[v].name ||
                left.values[v].type != right.values[v].type ||
                left.values[v].data != right.values[v].data)
                return false;
        }
    }
    return a.unreadBeforeKeys == b.unreadBeforeKeys && a.unreadSections == b.unreadSections;
}

// What was skipped is written back as it was read, so a rewrite loses nothing.
bool KeepsEverySkippedLine(const settings::Store& store, const std::string& written) {
    const auto kept = [&written](const std::string& line) {
        return written.find(line + "\n") != std::string::npos;
    };
    for (const settings::Key& key : store.keys)
        if (!std::all_of(key.unread.begin(), key.unread.end(), kept))
            return false;
    for (const auto& section : store.unreadSections)
        if (!std::all_of(section.begin(), section.end(), kept))
            return false;
    return std::all_of(store.unreadBeforeKeys.begin(), store.unreadBeforeKeys.end(), kept);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto once = settings::NormalizeKeyPath(text))
        Require(settings::NormalizeKeyPath(*once) == once);

    const auto read = settings::ParseStore(text);
    if (!read)
        return 0;
    const std::string written = settings::FormatStore(*read, "fuzz");
    const auto again = settings::ParseStore(written);
    Require(again.has_value());
    Require(SameStore(*read, *again));
    Require(KeepsEverySkippedLine(*read, written));
    Require(settings::FormatStore(*again, "fuzz") == written);

    // Every value is found by its own key and name.
    for (const settings::Key& key : read->keys) {
        for (const settings::Value& value : key.values) {
            const settings::Value* found = settings::FindValue(*again, key.path, value.name);
            Require(found != nullptr && found->data == value.data);
        }
    }
    return 0;
}
