#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path Write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& file);
