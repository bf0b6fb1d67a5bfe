#include "PrivateNetwork.h"

#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool WriteFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

// Without root, a user namespace first grants the rights over the new network namespace.
bool UnshareAsUser() {
    const auto uid = ::getuid();
    const auto gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
        return false;
    }
    WriteFile("/proc/self/setgroups", "deny");
    return WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") &&
           WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n");
}

bool BringLoopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    if (up) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
        up = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    }
    ::close(fd);
    return up;
}

} // namespace

namespace {
bool entered = false;
}

bool EnterPrivateNetwork() {
    if (::unshare(CLONE_NEWNET) != 0 && !UnshareAsUser()) {
        return false;
    }
    entered = BringLoopbackUp();
    return entered;
}

bool InPrivateNetwork() {
    return entered;
}
