#include "settings/settings.h"

#include "common/TempFolder.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsFormat.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <random>
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

// A line that cannot be read is skipped and kept as written beside what can be read; a text
// with nothing readable is not a store at all.
TEST(SettingsFormat, SkipsAndKeepsWhatCannotBeRead) {
    const std::vector<std::pair<const char*, const char*>> oddValues = {
        {"UnquotedName", "Language=sz:\"TR\""},
        {"NoEquals", "\"Language\" sz:\"TR\""},
        {"NoType", "\"Language\"=\"TR\""},
        {"UnknownEscape", "\"Language\"=sz:\"T\\qR\""},
        {"ShortHexEscape", "\"Language\"=sz:\"\\x4\""},
        {"UnterminatedString", "\"Language\"=sz:\"TR"},
        {"TextAfterString", "\"Language\"=sz:\"TR\" x"},
        {"UnquotedString", "\"Language\"=sz:TR"},
        {"NegativeNumber", "\"Count\"=dword:-1"},
        {"NumberTooBig", "\"Count\"=dword:4294967296"},
        {"EmptyNumber", "\"Count\"=dword:"},
        {"StrayLine", "hello"},
        {"Controls", "\x01\x02"},
    };
    for (const auto& [name, odd] : oddValues) {
        const std::string text =
            std::string("[K]\n\"Good\"=sz:\"1\"\n") + odd + "\n\"After\"=sz:\"2\"\n";
        const auto store = settings::ParseStore(text);
        ASSERT_TRUE(store) << name;
        EXPECT_NE(settings::FindValue(*store, "K", "Good"), nullptr) << name;
        EXPECT_NE(settings::FindValue(*store, "K", "After"), nullptr) << name;
        ASSERT_EQ(store->keys.size(), 1u) << name;
        EXPECT_EQ(store->keys[0].unread, std::vector<std::string>{odd}) << name;
        EXPECT_NE(settings::FormatStore(*store, "c").find(std::string("\n") + odd + "\n"),
                  std::string::npos)
            << name;
    }

    // A section whose name cannot be read is kept whole, and its values are not taken for
    // the section before it.
    const std::vector<std::pair<const char*, const char*>> oddSections = {
        {"UnclosedKey", "[Other"},
        {"EmptyKeyComponent", "[SOFTWARE\\\\Korvane]"},
        {"EmptyFirstKeyComponent", "[\\\\SOFTWARE]"},
        {"BackslashLeftAfterOneStrip", "[Other\\\\]"},
    };
    for (const auto& [name, header] : oddSections) {
        const std::string text =
            std::string("[SOFTWARE\\Korvane\\Pathmere]\n\"Language\"=sz:\"EN\"\n") + header +
            "\n\"Language\"=sz:\"RU\"\n[Z]\n\"z\"=dword:1\n";
        const auto store = settings::ParseStore(text);
        ASSERT_TRUE(store) << name;
        const auto* language =
            settings::FindValue(*store, "SOFTWARE\\Korvane\\Pathmere", "Language");
        ASSERT_NE(language, nullptr) << name;
        EXPECT_EQ(language->data, "EN") << name;
        EXPECT_NE(settings::FindValue(*store, "Z", "z"), nullptr) << name;
        ASSERT_EQ(store->unreadSections.size(), 1u) << name;
        EXPECT_EQ(store->unreadSections[0],
                  (std::vector<std::string>{header, "\"Language\"=sz:\"RU\""}))
            << name;
    }

    const std::vector<std::pair<const char*, const char*>> notStores = {
        {"ValueBeforeAnyKey", "\"Language\"=sz:\"TR\"\n"},
        {"UnclosedKeyAlone", "[K\n"},
        {"OddSectionAlone", "[SOFTWARE\\\\]\n\"Language\"=sz:\"TR\"\n"},
        {"BinaryJunk", "\x7f"
                       "ELF\x02\x01"},
        {"Prose", "not a store"},
    };
    for (const auto& [name, text] : notStores)
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

TEST(SettingsFormat, NormalisingAKeyPathTwiceGivesWhatOnceGives) {
    const std::vector<std::pair<std::string_view, std::optional<std::string>>> cases = {
        {"\\SOFTWARE\\Korvane\\", "SOFTWARE\\Korvane"},
        {"SOFTWARE\\Korvane", "SOFTWARE\\Korvane"},
        {"\\A", "A"},
        {"A\\", "A"},
        {"\\", ""},
        {"", ""},
        {" \\A\\ ", " \\A\\ "},
        // One backslash more on a side is an empty component, not a key that a second
        // normalisation would rename.
        {"\\\\A", std::nullopt},
        {"A\\\\", std::nullopt},
        {"\\\\A\\\\", std::nullopt},
        {"\\\\\\", std::nullopt},
        {"A\\\\B", std::nullopt},
        {"A\x01", std::nullopt},
    };
    for (const auto& [path, expected] : cases) {
        const auto once = settings::NormalizeKeyPath(path);
        EXPECT_EQ(once, expected) << path;
        if (once) {
            EXPECT_EQ(settings::NormalizeKeyPath(*once), once) << path;
        }
    }
}

// Any text the reader takes, written back and read again, gives the same store and the same
// text: a hand-edited file keeps its keys and values through the program's next write.
TEST(SettingsFormat, WriteReadWriteIsStable) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"Program", "[SOFTWARE\\Korvane\\Pathmere]\n\"Language\"=sz:\"EL\"\n"},
        {"OuterBackslashes", "[\\SOFTWARE\\Korvane\\]\n\"Language\"=sz:\"EL\"\n"},
        {"RootAndSpaces", "[]\n\"\"=dword:007\n[ A ]\n  \"x\" = hex: 01 ,02 \n"},
        {"MergedByCase", "[a]\n\"N\"=sz:\"1\"\n[\\A\\]\n\"n\"=sz:\"2\"\n"},
        {"Escapes", "[K]]\n\"\\x00\\\\\"=sz:\"\\x7f\\t\\\"\xc3\xa9\"\n\"e\"=expand_sz:\"\"\n"},
        {"EmptyKey", "# c\r\n[K]\r\n"},
    };
    for (const auto& [name, text] : cases) {
        const auto first = settings::ParseStore(text);
        ASSERT_TRUE(first) << name;
        const std::string written = settings::FormatStore(*first, "c");
        const auto second = settings::ParseStore(written);
        ASSERT_TRUE(second) << name << "\n" << written;
        EXPECT_EQ(settings::FormatStore(*second, "c"), written) << name;
        ASSERT_EQ(second->keys.size(), first->keys.size()) << name;
        for (std::size_t k = 0; k < first->keys.size(); ++k) {
            EXPECT_EQ(second->keys[k].path, first->keys[k].path) << name;
            for (const auto& value : first->keys[k].values) {
                const auto* again = settings::FindValue(*second, first->keys[k].path, value.name);
                ASSERT_NE(again, nullptr) << name << " " << value.name;
                EXPECT_EQ(again->data, value.data) << name << " " << value.name;
            }
        }
    }
}

// One odd section or line costs nothing else: the language still reads, and a write keeps the
// odd parts as they were written.
TEST_F(SettingsTest, OddLinesAreSkippedAndKeptThroughAWrite) {
    fs::create_directories(store);
    const std::string odd =
        "[Other\\\\]\n\"Kept\"=sz:\"x\"\n[SOFTWARE\\Korvane\\Pathmere]\n\"Language\"=sz:\"EL\"\n"
        "\"Broken\"=sz:\"no end\n";
    folder.Write("config/Korvane/machine.conf", odd);
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "EL");
    WriteRegistryValue(1, kKey, "Language", "RU");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "RU");
    EXPECT_EQ(StoreFolderEntries(), std::vector<std::string>{"machine.conf"})
        << "nothing set aside";
    const std::string written = ReadBytes(machine);
    EXPECT_NE(written.find("[Other\\\\]\n\"Kept\"=sz:\"x\"\n"), std::string::npos) << written;
    EXPECT_NE(written.find("\"Broken\"=sz:\"no end\n"), std::string::npos) << written;
}

TEST_F(SettingsTest, UnreadableStoreReadsAsMissingAndIsKeptAsideOnTheNextWrite) {
    fs::create_directories(store);
    const std::string junk = "\"Language\"=sz:\"EN\n\x01\x02\n[SOFTWARE\\Korvane\\Pathmere";
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

// What the disk holds after a power loss: the temporary must be flushed before it is renamed
// over the store, and the folder after, or the renamed store could come back empty.
std::vector<std::string> durabilityEvents;

std::string PathOf(int descriptor) {
    std::error_code error;
    return fs::read_symlink("/proc/self/fd/" + std::to_string(descriptor), error).string();
}

TEST_F(SettingsTest, TheNewTextIsOnTheDiskBeforeTheRenameAndTheRenameAfter) {
    durabilityEvents.clear();
    settings::SetAfterSyncHook([](int fd) { durabilityEvents.push_back("sync " + PathOf(fd)); });
    settings::SetBeforeRenameHook(
        [](const std::string& temporary) { durabilityEvents.push_back("rename " + temporary); });
    WriteRegistryValue(1, kKey, "Language", "EN");
    settings::SetAfterSyncHook(nullptr);
    settings::SetBeforeRenameHook(nullptr);
    const std::string temporary = machine.string() + ".tmp";
    EXPECT_EQ(durabilityEvents,
              (std::vector<std::string>{"sync " + temporary, "rename " + temporary,
                                        "sync " + fs::canonical(store).string()}));
}

// A rename that fails is an error, and leaves no temporary behind.
TEST_F(SettingsTest, ARenameThatFailsRaisesAndLeavesNoTemporary) {
    WriteRegistryValue(1, kKey, "Language", "TR");
    settings::SetBeforeRenameHook([](const std::string& temporary) {
        const fs::path target = temporary.substr(0, temporary.size() - 4);
        fs::remove(target);
        fs::create_directories(target / "in the way");
    });
    EXPECT_THROW(WriteRegistryValue(1, kKey, "Language", "EN"), RegistryError);
    settings::SetBeforeRenameHook(nullptr);
    EXPECT_FALSE(fs::exists(machine.string() + ".tmp"));
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
    ASSERT_EQ(entries[1], "machine.conf.tmp");
    EXPECT_NE(ReadBytes(store / entries[1]).find("\"Language\"=sz:\"EN\""), std::string::npos)
        << "the crash came after the new text was complete";

    // The leftover neither shadows nor blocks the next write, which reuses it.
    WriteRegistryValue(1, kKey, "Language", "RU");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "RU");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Other"), "kept");
    EXPECT_EQ(StoreFolderEntries(), std::vector<std::string>{"machine.conf"});
}

// Runs in a child: stores 1, 2, 3... as "Count" until killed.
[[noreturn]] void WriteCountsForever(int first) {
    for (int n = first;; ++n)
        WriteRegistryValue(1, kKey, "Count", std::to_string(n));
}

int KillCount() {
    // 1,000 and more by hand: PATHMERE_SETTINGS_KILLS=1000.
    const char* text = std::getenv("PATHMERE_SETTINGS_KILLS");
    return text != nullptr ? std::max(200, std::atoi(text)) : 200;
}

TEST_F(SettingsTest, WritersKilledAtRandomMomentsLoseNothingAndLeaveAtMostOneTemporary) {
    WriteRegistryValue(1, kKey, "Other", "kept");
    WriteRegistryValue(1, kKey, "Count", "0");
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    // A write takes from a fraction of a millisecond to tens of them with its flushes, by file
    // system; killing within 20 ms lands anywhere in the first writes, including before the
    // first one begins and between two of them.
    std::uniform_int_distribution<int> delayUs(0, 20000);
    const int kills = KillCount();
    int last = 0;
    int killsThatLeftTheTemporary = 0;
    for (int k = 0; k < kills; ++k) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            WriteCountsForever(last + 1);
        usleep(static_cast<useconds_t>(delayUs(random)));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

        const std::string count = ReadRegistryValue(1, kKey, "Count");
        ASSERT_NE(count, kNoValueMarker) << "kill " << k << ", seed " << seed;
        const int value = std::stoi(count);
        ASSERT_GE(value, last) << "kill " << k << ", seed " << seed;
        last = value;
        ASSERT_EQ(ReadRegistryValue(1, kKey, "Other"), "kept") << "kill " << k;

        const auto entries = StoreFolderEntries();
        ASSERT_GE(entries.size(), 1u);
        ASSERT_EQ(entries[0], "machine.conf");
        if (entries.size() > 1) {
            ASSERT_EQ(entries, (std::vector<std::string>{"machine.conf", "machine.conf.tmp"}));
            ++killsThatLeftTheTemporary;
        }
    }
    std::cout << kills << " kills, " << last << " values written, " << killsThatLeftTheTemporary
              << " kills found the temporary in place\n";
    EXPECT_GT(killsThatLeftTheTemporary, 0) << "no kill came during a write";
    WriteRegistryValue(1, kKey, "Count", "done");
    EXPECT_EQ(StoreFolderEntries(), std::vector<std::string>{"machine.conf"});
}

TEST_F(SettingsTest, WritersAtTheSameTimeEachFindAWholeFile) {
    WriteRegistryValue(1, kKey, "Other", "kept");
    constexpr int kWriters = 4;
    constexpr int kWrites = 100;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                for (int n = 0; n < kWrites; ++n)
                    WriteRegistryValue(1, kKey, "Writer" + std::to_string(w), std::to_string(n));
            } catch (const RegistryError&) {
                _exit(1);
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
    }
    // Writers may overwrite each other's values, as two programs saving at once do; the file
    // they leave is always whole, and no temporary stays behind.
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Other"), "kept");
    EXPECT_EQ(StoreFolderEntries(), std::vector<std::string>{"machine.conf"});
    settings::Store content;
    EXPECT_EQ(settings::LoadStoreFile(machine, content), settings::LoadResult::Loaded);
}

TEST_F(SettingsTest, TemporariesOfEarlierWritesAreRemovedByTheNextWrite) {
    fs::create_directories(store);
    folder.Write("config/Korvane/machine.conf.tmp-a1B2c3", "[K]\n");
    folder.Write("config/Korvane/machine.conf.tmp", "half a wri");
    folder.Write("config/Korvane/user.conf.tmp-a1B2c3", "[K]\n");
    folder.Write("config/Korvane/machine.conf.tmp-notours", "kept");
    WriteRegistryValue(1, kKey, "Language", "TR");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "TR");
    EXPECT_EQ(StoreFolderEntries(),
              (std::vector<std::string>{"machine.conf", "machine.conf.tmp-notours",
                                        "user.conf.tmp-a1B2c3"}));
}

// A second name planted at the temporary's: the file behind it must come through untouched.
TEST_F(SettingsTest, ATemporaryWithASecondNameIsNotWrittenThrough) {
    fs::create_directories(store);
    const fs::path precious = folder.path() / "precious.txt";
    { std::ofstream(precious) << "someone else's data"; }
    fs::permissions(precious, fs::perms::owner_read | fs::perms::owner_write |
                                  fs::perms::group_read | fs::perms::others_read);
    fs::create_hard_link(precious, store / "machine.conf.tmp");
    WriteRegistryValue(1, kKey, "Language", "EN");
    EXPECT_EQ(ReadRegistryValue(1, kKey, "Language"), "EN");
    EXPECT_EQ(ReadBytes(precious), "someone else's data");
    EXPECT_EQ(fs::status(precious).permissions() & fs::perms::others_read, fs::perms::others_read);
    EXPECT_EQ(fs::hard_link_count(precious), 1u);
}

} // namespace
