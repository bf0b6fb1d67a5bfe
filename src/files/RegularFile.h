#pragma once

#include "files/FileDescriptor.h"

#include <string>

// Opens `path` for reading only if it is a regular file: a FIFO in its place would block the
// caller, a device could be endless. On failure the result is invalid and errno tells why
// (ENOENT when there is no such file, EINVAL when it is not a regular one).
FileDescriptor OpenRegularFileForReading(const std::string& path);
