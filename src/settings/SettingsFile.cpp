#include "settings/SettingsFile.h"

#include "files/RegularFile.h"
#include "settings/settings.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace settings {
namespace {

// Far larger than any store the program writes; a bigger file is not one of ours.
constexpr off_t kMaxStoreSize = 1 << 20;

void (*beforeRename)(const std::string&) = nullptr;
void (*afterSync)(int) = nullptr;

bool Sync(int fd) {
    if (::fsync(fd) != 0)
        return false;
    if (afterSync != nullptr)
        afterSync(fd);
    return true;
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
    throw RegistryError(what + " " + path + ": " + std::strerror(error));
}

bool ReadAll(int fd, std::string& text) {
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            return true;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || text.size() + static_cast<std::size_t>(got) > kMaxStoreSize)
            return false;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

void MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            Fail("cannot create the settings folder", part, errno);
        if (slash == std::string::npos)
            break;
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        Fail("cannot use the settings folder", folder, errno);
    if (!S_ISDIR(info.st_mode))
        Fail("cannot use the settings folder", folder, ENOTDIR);
}

std::string UtcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

// One temporary name per store, so that writers killed before their rename leave at most that
// one file, which the next writer reuses. An exclusive lock on it keeps two writers from filling
// it at once; a writer that waited for the lock checks that the name still holds the file it
// locked, since the writer before it may have renamed that file into place meanwhile.
int OpenTemporary(const std::string& folder, const std::string& temporary) {
    for (;;) {
        // Non-blocking, not following links: whatever sits at the name must not hang or
        // redirect the write.
        FileDescriptor fd(::open(temporary.c_str(),
                                 O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
        if (fd.get() < 0)
            Fail("cannot write the settings folder", folder, errno);
        while (::flock(fd.get(), LOCK_EX) != 0) {
            if (errno != EINTR)
                Fail("cannot lock the settings file", temporary, errno);
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd.get(), &held) != 0)
            Fail("cannot write the settings file", temporary, errno);
        if (!S_ISREG(held.st_mode))
            Fail("cannot write the settings file", temporary, EINVAL);
        if (::stat(temporary.c_str(), &named) != 0 || named.st_dev != held.st_dev ||
            named.st_ino != held.st_ino)
            continue;
        // A file with a second name, or someone else's, is not ours to truncate: the file
        // behind the other name would be lost. Only our name for it goes.
        if (held.st_nlink > 1 || held.st_uid != ::geteuid()) {
            if (::unlink(temporary.c_str()) != 0)
                Fail("cannot write the settings file", temporary, errno);
            continue;
        }
        // What a killed writer left is the only content there may be.
        if (::ftruncate(fd.get(), 0) != 0 || ::fchmod(fd.get(), 0600) != 0)
            Fail("cannot write the settings file", temporary, errno);
        return fd.release();
    }
}

// Earlier versions wrote through "<file>.tmp-XXXXXX" and left one behind for every write that
// was killed. Only the writer holding the lock gets here, so none of them is in use.
void RemoveNamedTemporaries(const std::string& folder, const std::string& fileName) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const std::string prefix = fileName + ".tmp-";
    constexpr std::size_t kSuffixLength = 6;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() == prefix.size() + kSuffixLength && name.starts_with(prefix))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

LoadResult LoadStoreFile(const std::string& path, Store& store) {
    const FileDescriptor fd = OpenRegularFileForReading(path);
    if (!fd.valid())
        return errno == ENOENT || errno == ENOTDIR ? LoadResult::Missing : LoadResult::Unreadable;
    std::string text;
    if (!ReadAll(fd.get(), text))
        return LoadResult::Unreadable;
    auto parsed = ParseStore(text);
    if (!parsed)
        return LoadResult::Unreadable;
    store = std::move(*parsed);
    return LoadResult::Loaded;
}

void MoveAside(const std::string& path) {
    const std::string base = path + ".unreadable-" + UtcStamp();
    std::string aside = base;
    for (int n = 1; ::access(aside.c_str(), F_OK) == 0; ++n)
        aside = base + "-" + std::to_string(n);
    if (::rename(path.c_str(), aside.c_str()) != 0)
        Fail("cannot move the unreadable settings file aside", path, errno);
}

void ReplaceFile(const std::string& folder, const std::string& path, const std::string& text) {
    MakeFolders(folder);
    const std::string temporary = path + ".tmp";
    FileDescriptor fd(OpenTemporary(folder, temporary));
    RemoveNamedTemporaries(folder, path.substr(path.rfind('/') + 1));
    const auto failWrite = [&](int error) {
        ::unlink(temporary.c_str());
        Fail("cannot write the settings file", temporary, error);
    };
    if (!WriteAll(fd.get(), text) || !Sync(fd.get()))
        failWrite(errno);
    if (beforeRename != nullptr)
        beforeRename(temporary);
    // Renamed while still locked, so that a writer waiting for the lock finds the name gone.
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        failWrite(errno);
    if (::close(fd.release()) != 0)
        Fail("cannot write the settings file", path, errno);
    // The rename itself reaches the disk only with the folder; the value is stored either way,
    // so a failure here is not reported.
    const FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        Sync(dir.get());
}

void SetBeforeRenameHook(void (*hook)(const std::string&)) {
    beforeRename = hook;
}

void SetAfterSyncHook(void (*hook)(int)) {
    afterSync = hook;
}

} // namespace settings
