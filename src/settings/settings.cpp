#include "settings/settings.h"

#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

// There is no registry here: each root is a small text file of typed values in the user's
// configuration folder, $XDG_CONFIG_HOME/Korvane (by default ~/.config/Korvane). Both roots live
// in the user's folder, each in its own file, because a Linux user cannot write a machine-wide
// location: machine.conf stands for the local machine, user.conf for the current user.

namespace {

constexpr const char* kMakerFolder = "Korvane";

std::string ConfigHome() {
    // A relative $XDG_CONFIG_HOME is to be ignored, as the base-directory rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == 0) {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : "";
    }
    return std::string(home) + "/.config";
}

struct RootStore {
    std::string folder;
    std::string path;
    const char* comment;
};

RootStore StoreOf(int root) {
    const std::string folder = ConfigHome() + "/" + kMakerFolder;
    if (root == 2)
        return {folder, folder + "/user.conf",
                "Korvane settings of the current user. Written by the program."};
    return {folder, folder + "/machine.conf",
            "Korvane settings of the local machine (kept per user). Written by the program."};
}

void StoreValue(int root, const std::string& keyPath, const std::string& valueName,
                std::string_view type, const std::string& data) {
    const auto path = settings::NormalizeKeyPath(keyPath);
    if (!path)
        throw RegistryError("invalid settings key path: " + keyPath);
    const RootStore store = StoreOf(root);
    settings::Store content;
    switch (settings::LoadStoreFile(store.path, content)) {
    case settings::LoadResult::Loaded:
    case settings::LoadResult::Missing:
        break;
    case settings::LoadResult::Unreadable:
        settings::MoveAside(store.path);
        break;
    }
    settings::SetValue(content, *path, valueName, type, data);
    settings::ReplaceFile(store.folder, store.path, settings::FormatStore(content, store.comment));
}

} // namespace

std::string ReadRegistryValue(int root, const std::string& keyPath, const std::string& valueName) {
    const auto path = settings::NormalizeKeyPath(keyPath);
    if (!path)
        return kNoValueMarker;
    settings::Store content;
    if (settings::LoadStoreFile(StoreOf(root).path, content) != settings::LoadResult::Loaded)
        return kNoValueMarker;
    const settings::Value* value = settings::FindValue(content, *path, valueName);
    if (value == nullptr)
        return kNoValueMarker;
    if (value->type != settings::kString && value->type != settings::kExpandString)
        throw RegistryError("settings value " + valueName + " is not a string");
    // The registry hands back a string up to its first zero byte.
    return value->data.substr(0, value->data.find('\0'));
}

void WriteRegistryValue(int root, const std::string& keyPath, const std::string& valueName,
                        const std::string& value) {
    StoreValue(root, keyPath, valueName, settings::kString, value);
}

void WriteRegistryNumber(int root, const std::string& keyPath, const std::string& valueName,
                         std::uint32_t value) {
    StoreValue(root, keyPath, valueName, settings::kNumber, std::to_string(value));
}
