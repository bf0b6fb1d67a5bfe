#include "settings.h"

#include "LanguageTestSupport.h"
#include "SettingsFile.h"
#include "SettingsFormat.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kKey = "\\SOFTWARE\\Korvane\\Pathmere\\";

class SavedEnv {
public:
    explicit SavedEnv(const char* name) : name_(name) {
        if (const char* value = std::getenv(name))
            value_ = value;
    }
    ~SavedEnv() {
        if (value_)
            setenv(name_, value_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> value_;
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", config.c_str(), 1); }

    std::vector<std::string> StoreFolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(store))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    SavedEnv savedXdg{"XDG_CONFIG_HOME"};
    SavedEnv savedHome{"HOME"};
    TempFolder folder;
    const fs::path config = folder.path() / "config";
    const fs::path store = config / "Korvane";
    const fs::path machine = store / "machine.conf";
};

TEST_F(SettingsTest, FirstReadGivesTheMarkerAndAWriteCreatesTheKey) {
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), kNoValueMarker);
    EXPECT_FALSE(fs::exists(store)) << "a read creates nothing";
    WriteRegistryValue(1, kKey, "Language", "TR");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "TR");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Other"), kNoValueMarker);
    EXPECT_EQ(ReadRegistryValue(1, "\\SOFTWARE\\Korvane\\", "Language"), kNoValueMarker);
    WriteRegistryValue(1, kKey, "Language", "EL");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "EL");

    // What a person finds in the file.
    EXPECT_EQ(ReadBytes(machine).substr(ReadBytes(machine).find('[')),
              "[SOFTWARE\\Korvane\\Pathmere]\n\"Language\"=sz:\"EL\"\n");
    EXPECT_EQ(StoreFolderEntries(), std::vector<std::string>{"machine.conf"});
    struct stat info {};
    ASSERT_EQ(stat(machine.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(SettingsTest, KeyPathsAndNamesMatchLikeTheRegistry) {
    WriteRegistryValue(1, kKey, "Language", "RU");
    for (const char* path : {"\\SOFTWARE\\Korvane\\Pathmere", "SOFTWARE\\Korvane\\Pathmere\\",
                             "\\software\\KORVANE\\pathmere\\"})
        EXPECT_EQ(ReadRegistryValue(1, path, "Language"), "RU") << path;
    EXPECT_EQ(ReadRegistryValue(1, kKey, "LANGUAGE"), "RU");
    WriteRegistryValue(1, "\\software\\korvane\\pathmere", "language", "EN");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "EN");
    EXPECT_EQ(ReadBytes(machine).substr(ReadBytes(machine).find('[')),
              "[SOFTWARE\\Korvane\\Pathmere]\n\"Language\"=sz:\"EN\"\n")
        << "one key and one value, spelled as first written";
}

TEST_F(SettingsTest, RootTwoIsItsOwnStoreAndEveryOtherSelectorIsTheMachine) {
    WriteRegistryValue(2, kKey, "Language", "EN");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), kNoValueMarker);
    WriteRegistryValue(1, kKey, "Language", "RU");
    EXPECT_EQ(ReadRegistryValue(2, kKey, "Language"), "EN");
    for (const int root : {0, 3, -1, 1000})
        EXPECT_EQ(ReadRegistryValue(root, kKey, "Language"), "RU") << root;
    WriteRegistryValue(3, kKey, "Language", "EL");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "EL");
    EXPECT_EQ(ReadRegistryValue(2, kKey, "Language"), "EN");
    EXPECT_EQ(StoreFolderEntries(), (std::vector<std::string>{"machine.conf", "user.conf"}));
}

TEST_F(SettingsTest, StoredTextsComeBackAsWritten) {
    const std::vector<std::pair<std::string, std::string>> values = {
        {"Empty", ""},
        {"Marker", kNoValueMarker},
        {"Quotes", "say \"hi\" \\ back\\"},
        {"Lines", "one\ntwo\r\nthree\tfour"},
        {"Controls", std::string("\x01\x1f\x7f", 3)},
        {"Utf8", "Türkçe Ελληνικά Русский"},
        {"Name with = and ] and \"", "x=y"},
        {"", "default value"},
        {"Long", std::string(5000, 'x')},
        {"Escapes", "\\x41 \\n"},
    };
    for (const auto& [name, value] : values)
        WriteRegistryValue(1, kKey, name, value);
    for (const auto& [name, value] : values)
        EXPECT_EQ(ReadRegistryValue(1, kKey, name), value) << name;
    // Like the registry, a read ends at the first zero byte.
    WriteRegistryValue(1, kKey, "Zero", std::string("ab\0cd", 5));
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Zero"), "ab");
}

TEST_F(SettingsTest, ANumberRaisesOnReadAndAStringReplacesIt) {
    WriteRegistryNumber(1, kKey, "Language", 42);
    EXPECT_THROW(ReadRegistryValue(1, kKey, "Language"), RegistryError);
    EXPECT_NE(ReadBytes(machine).find("\"Language\"=dword:42\n"), std::string::npos);
    WriteRegistryValue(1, kKey, "Language", "TR");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "TR");
}

TEST_F(SettingsTest, ValuesOfOtherTypesArePreservedAndExpandableStringsReadAsStored) {
    fs::create_directories(store);
    folder.Write("config/Korvane/machine.conf", "; written by hand\r\n"
                                                "[SOFTWARE\\Korvane\\Pathmere\\]\r\n"
                                                "  \"Blob\" = hex:01,02,ff  \r\n"
                                                "\"Path\"=expand_sz:\"%HOME%\\\\manuals\"\n"
                                                "\"Language\"=sz:\"EN\"\n"
                                                "\"Language\"=sz:\"RU\"\n");
    EXPECT_THROW(ReadRegistryValue(1, kKey, "Blob"), RegistryError);
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Path"), "%HOME%\\manuals");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "RU") << "a later line wins";
    WriteRegistryValue(1, kKey, "Language", "TR");
    const std::string text = ReadBytes(machine);
    EXPECT_NE(text.find("\"Blob\"=hex:01,02,ff\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Path\"=expand_sz:\"%HOME%\\\\manuals\"\n"), std::string::npos) << text;
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "TR");
}

TEST(SettingsFormat, RejectsTextsNotInTheStoreForm) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"ValueBeforeAnyKey", "\"Language\"=sz:\"TR\"\n"},
        {"UnquotedName", "[K]\nLanguage=sz:\"TR\"\n"},
        {"NoEquals", "[K]\n\"Language\" sz:\"TR\"\n"},
        {"NoType", "[K]\n\"Language\"=\"TR\"\n"},
        {"UnknownEscape", "[K]\n\"Language\"=sz:\"T\\qR\"\n"},
        {"ShortHexEscape", "[K]\n\"Language\"=sz:\"\\x4\"\n"},
        {"UnterminatedString", "[K]\n\"Language\"=sz:\"TR\n"},
        {"TextAfterString", "[K]\n\"Language\"=sz:\"TR\" x\n"},
        {"UnquotedString", "[K]\n\"Language\"=sz:TR\n"},
        {"NegativeNumber", "[K]\n\"Count\"=dword:-1\n"},
        {"NumberTooBig", "[K]\n\"Count\"=dword:4294967296\n"},
        {"EmptyNumber", "[K]\n\"Count\"=dword:\n"},
        {"UnclosedKey", "[K\n"},
        {"EmptyKeyComponent", "[SOFTWARE\\\\Korvane]\n"},
        {"StrayLine", "[K]\nhello\n"},
        {"BinaryJunk", "\x7f"
                       "ELF\x02\x01"},
    };
    for (const auto& [name, text] : cases)
        EXPECT_FALSE(settings::ParseStore(text)) << name;

    const auto empty = settings::ParseStore("# nothing yet\n\n");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->keys.empty());
    const auto root = settings::ParseStore("[]\n\"\"=dword:4294967295\n[\\A\\]\n[a]\n");
    ASSERT_TRUE(root);
    ASSERT_EQ(root->keys.size(), 2u) << "[\\A\\] and [a] are one key";
    ASSERT_NE(settings::FindValue(*root, "", ""), nullptr);
    EXPECT_EQ(settings::FindValue(*root, "", "")->data, "4294967295");
}

TEST_F(SettingsTest, UnreadableStoreReadsAsMissingAndIsKeptAsideOnTheNextWrite) {
    fs::create_directories(store);
    const std::string junk = "[SOFTWARE\\Korvane\\Pathmere]\n\"Language\"=sz:\"EN\n\x01\x02";
    folder.Write("config/Korvane/machine.conf", junk);
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), kNoValueMarker);
    EXPECT_EQ(ReadBytes(machine), junk) << "reading never changes the file";

    WriteRegistryValue(1, kKey, "Language", "RU");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "RU");
    const auto entries = StoreFolderEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "machine.conf");
    EXPECT_EQ(entries[1].rfind("machine.conf.unreadable-", 0), 0u) << entries[1];
    EXPECT_EQ(ReadBytes(store / entries[1]), junk);

    // A second damaged file within the same second gets a name of its own.
    folder.Write("config/Korvane/machine.conf", "not a store");
    WriteRegistryValue(1, kKey, "Language", "TR");
    EXPECT_EQ(StoreFolderEntries().size(), 3u);
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "TR");

    // Neither a read nor a write waits for a writer on a FIFO in the file's place.
    fs::remove(machine);
    ASSERT_EQ(mkfifo(machine.c_str(), 0600), 0);
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), kNoValueMarker);
    WriteRegistryValue(1, kKey, "Language", "EL");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "EL");
    EXPECT_EQ(StoreFolderEntries().size(), 4u);
}

TEST_F(SettingsTest, AStoreFolderThatCannotBeWrittenRaises) {
    fs::create_directories(config);
    folder.Write("config/Korvane", "a file where the folder should be");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), kNoValueMarker);
    EXPECT_THROW(WriteRegistryValue(1, kKey, "Language", "TR"), RegistryError);
    EXPECT_THROW(WriteRegistryNumber(2, kKey, "Count", 1), RegistryError);

    setenv("XDG_CONFIG_HOME", (folder.path() / "config/Korvane/below").c_str(), 1);
    EXPECT_THROW(WriteRegistryValue(1, kKey, "Language", "TR"), RegistryError);
}

TEST_F(SettingsTest, AReadOnlyStoreStillReads) {
    WriteRegistryValue(1, kKey, "Language", "EL");
    fs::permissions(machine, fs::perms::owner_read);
    fs::permissions(store, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "EL");
    if (geteuid() != 0) { // the superuser writes anyway
        EXPECT_THROW(WriteRegistryValue(1, kKey, "Language", "TR"), RegistryError);
        EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "EL");
    }
}

TEST_F(SettingsTest, InvalidKeyPathsAreRefused) {
    for (const char* path : {"\\SOFTWARE\\\\Korvane\\", "\\SOFT\nWARE\\"}) {
        EXPECT_THROW(WriteRegistryValue(1, path, "Language", "TR"), RegistryError) << path;
        EXPECT_EQ(ReadRegistryValue(1, path, "Language"), kNoValueMarker) << path;
    }
    EXPECT_FALSE(fs::exists(machine));
}

TEST_F(SettingsTest, FallsBackToTheHomeFolderWithoutAnAbsoluteXdgConfigHome) {
    setenv("HOME", folder.path().c_str(), 1);
    const fs::path userStore = folder.path() / ".config/Korvane/user.conf";
    const std::vector<std::pair<const char*, const char*>> cases = {
        {nullptr, "unset"}, {"", "empty"}, {"relative/config", "relative"}};
    for (const auto& [xdg, value] : cases) {
        if (xdg == nullptr)
            unsetenv("XDG_CONFIG_HOME");
        else
            setenv("XDG_CONFIG_HOME", xdg, 1);
        WriteRegistryValue(2, kKey, "Language", value);
        EXPECT_NE(ReadBytes(userStore).find(std::string("\"Language\"=sz:\"") + value + "\""),
                  std::string::npos)
            << value;
    }
    EXPECT_FALSE(fs::exists("relative"));
}

// Stops the writing process after the temporary file is complete, before the rename.
void CrashBeforeRename(const std::string&) {
    _exit(0);
}

TEST_F(SettingsTest, ACrashBetweenWritingAndRenamingLosesNothing) {
    WriteRegistryValue(1, kKey, "Language", "TR");
    WriteRegistryValue(1, kKey, "Other", "kept");
    const std::string before = ReadBytes(machine);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        settings::SetBeforeRenameHook(CrashBeforeRename);
        WriteRegistryValue(1, kKey, "Language", "EN");
        _exit(3); // the hook did not run
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    EXPECT_EQ(ReadBytes(machine), before);
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "TR");
    const auto entries = StoreFolderEntries();
    ASSERT_EQ(entries.size(), 2u);
    ASSERT_EQ(entries[1].rfind("machine.conf.tmp-", 0), 0u) << entries[1];
    EXPECT_NE(ReadBytes(store / entries[1]).find("\"Language\"=sz:\"EN\""), std::string::npos)
        << "the crash came after the new text was complete";

    // The leftover neither shadows nor blocks the next write.
    WriteRegistryValue(1, kKey, "Language", "RU");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "RU");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Other"), "kept");
    EXPECT_EQ(StoreFolderEntries().size(), 2u);
}

} // namespace
