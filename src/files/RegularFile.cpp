#include "files/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

FileDescriptor OpenRegularFileForReading(const std::string& path) {
    // Non-blocking until the type is known: opening a FIFO would wait for a writer.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid()) {
        return file;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return {};
    }
    if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return {};
    }
    if (::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK) != 0) {
        return {};
    }
    return file;
}
