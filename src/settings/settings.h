#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

inline constexpr const char* kNoValueMarker = "ERR:NO_VALUE";

// Raised for a stored value that is not a string, and for a value that cannot be written.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// root: 2 selects the current-user store, any other value the local-machine store.
// keyPath starts at the root with a backslash, e.g. "\\SOFTWARE\\Korvane\\Pathmere\\".
std::string ReadRegistryValue(int root, const std::string& keyPath, const std::string& valueName);
void WriteRegistryValue(int root, const std::string& keyPath, const std::string& valueName,
                        const std::string& value);

// Stores a number (a DWORD value) where WriteRegistryValue stores a string. The program itself
// never stores numbers; this is how a value of another type comes to be in the store, for tests
// of what reading one does.
void WriteRegistryNumber(int root, const std::string& keyPath, const std::string& valueName,
                         std::uint32_t value);
