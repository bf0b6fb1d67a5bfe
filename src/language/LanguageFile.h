#pragma once

#include <QString>
#include <string>

class Lang;

// Reads the section of `code` from the language file at `path` into `table`, key by key.
// Stops at the first failure, keeping what was already assigned; true when all keys were read.
bool LoadLanguage(const std::string& code, const QString& path, Lang& table);
