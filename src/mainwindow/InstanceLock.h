#pragma once

#include "files/FileDescriptor.h"

#include <memory>
#include <string>

// One running program per user: an exclusive lock on a file in the user's runtime folder. The
// lock lasts as long as the object (the program keeps it for its whole life) and the system
// releases it when the process ends, also by a crash.
class InstanceLock {
public:
    enum class Result {
        Acquired,      // this process is the first instance
        HeldByAnother, // another process of this user holds it
        Unavailable,   // no usable folder or file: go on as the first instance
    };

    // The file's name, after the single-instance name the program has always used.
    static constexpr const char* kFileName = "MIRD-01234567-B10D-11D3-BC36-006067709674.lock";

    // $XDG_RUNTIME_DIR when it names a private absolute folder, else pathmere in the user's
    // state folder ($XDG_STATE_HOME or ~/.local/state), created private to the user. Empty when
    // no folder can be trusted.
    static std::string Folder();

    // Tries to take the lock in `folder`. The lock is held while the returned object lives;
    // it is null unless the result is Acquired.
    static std::unique_ptr<InstanceLock> Acquire(const std::string& folder, Result& result);

    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

private:
    explicit InstanceLock(FileDescriptor descriptor) : file(std::move(descriptor)) {}
    FileDescriptor file; // the system drops the lock with the last descriptor
};
