#pragma once

#include <unistd.h>
#include <utility>

// Owns one open file descriptor and closes it on every path.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    ~FileDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    FileDescriptor(FileDescriptor&& other) noexcept : fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        FileDescriptor(std::move(other)).swap(*this);
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool valid() const { return fd >= 0; }
    int get() const { return fd; }
    // Gives the descriptor up without closing it.
    int release() { return std::exchange(fd, -1); }

private:
    void swap(FileDescriptor& other) noexcept { std::swap(fd, other.fd); }
    int fd = -1;
};
