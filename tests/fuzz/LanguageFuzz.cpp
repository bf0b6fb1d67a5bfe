// libFuzzer target: the language file loader, given the input as lang.xml.
#include "language/Language.h"
#include "language/LanguageFile.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string folder;

void RemoveFolder() {
    ::unlink((folder + "/lang.xml").c_str());
    ::rmdir(folder.c_str());
}

// The loader reads a path; the file lives in memory-backed /dev/shm when there is one, and goes
// when the fuzzer ends.
std::string InputPath() {
    folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    folder += "/pathmere-language-fuzz-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr)
        std::abort();
    std::atexit(RemoveFolder);
    return folder + "/lang.xml";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = InputPath();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) || ::close(fd) != 0)
        std::abort();

    const QString file = QString::fromStdString(path);
    Lang& table = Lang::Instance();
    for (const char* code : {"TR", "EN", "RU", "EL", ""}) {
        // A section read in full fills every text; one that stops keeps what it had.
        if (LoadLanguage(code, file, table) && table.stLegalNotice.isEmpty())
            std::abort();
    }
    return 0;
}
