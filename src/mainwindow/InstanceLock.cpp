#include "mainwindow/InstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder is trusted when it is a real folder (not a link) of this user that no one else can
// write: otherwise another user could hold the lock or plant a link in our name.
bool Trusted(const std::string& folder) {
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0) {
        return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 0022) == 0;
}

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// The user's state folder ($XDG_STATE_HOME, else ~/.local/state): in the home, so that no other
// user can take its name first, as one could a name in the shared /tmp.
std::string StateHome() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (IsAbsolute(state)) {
        return state;
    }
    const char* home = std::getenv("HOME");
    if (!IsAbsolute(home)) {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return IsAbsolute(home) ? std::string(home) + "/.local/state" : std::string();
}

// Creates the folders of path that are missing, private to the user.
bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

} // namespace

std::string InstanceLock::Folder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (IsAbsolute(runtime) && Trusted(runtime)) {
        return runtime;
    }
    const std::string state = StateHome();
    if (state.empty()) {
        return {};
    }
    const std::string own = state + "/pathmere";
    return MakeFolders(own) && Trusted(own) ? own : std::string();
}

std::unique_ptr<InstanceLock> InstanceLock::Acquire(const std::string& folder, Result& result) {
    result = Result::Unavailable;
    if (folder.empty()) {
        return nullptr;
    }
    const std::string path = folder + "/" + kFileName;
    FileDescriptor file(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!file.valid()) {
        return nullptr;
    }
    // flock locks belong to the open file, so a second open in the same process conflicts
    // too, and the system drops the lock with the last descriptor when the process ends.
    if (flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        result = errno == EWOULDBLOCK ? Result::HeldByAnother : Result::Unavailable;
        return nullptr;
    }
    result = Result::Acquired;
    return std::unique_ptr<InstanceLock>(new InstanceLock(std::move(file)));
}
