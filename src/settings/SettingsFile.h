#pragma once

#include "settings/SettingsFormat.h"

#include <string>

// The files that hold the settings store. Failures to write raise RegistryError.
namespace settings {

enum class LoadResult {
    Loaded,
    // No file, or no folder: nothing has been stored yet.
    Missing,
    // A file that cannot be read or is not in the store's form.
    Unreadable,
};

LoadResult LoadStoreFile(const std::string& path, Store& store);

// Keeps an unreadable store beside the fresh one, as "<path>.unreadable-<UTC time>".
void MoveAside(const std::string& path);

// Replaces the file at `path` with `text` so that a crash at any moment leaves either the old
// or the new content: the temporary file "<path>.tmp" is written, flushed to the disk and renamed
// over. A write killed before its rename leaves that one file, which the next write reuses.
// Creates the folder (and its parents) when missing.
void ReplaceFile(const std::string& folder, const std::string& path, const std::string& text);

// Called with the temporary file's path after it is written and before the rename: lets tests
// stop the process at the moment a crash would hurt most. Null in the program.
void SetBeforeRenameHook(void (*hook)(const std::string& temporaryPath));
// Called with each descriptor just flushed to the disk (the temporary, then the folder), so that
// tests see what a power loss would find. Null in the program.
void SetAfterSyncHook(void (*hook)(int descriptor));

} // namespace settings
