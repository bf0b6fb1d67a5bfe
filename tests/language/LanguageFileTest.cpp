#include "language/LanguageFile.h"

#include "LanguageTestSupport.h"
#include "language/Language.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const QString kOld = QStringLiteral("old");

// Every key of a section, each holding "<prefix>.<key>"; the element of `changedKey` is
// replaced by `replacement` (an empty replacement leaves the key out).
std::string Keys(std::string_view prefix, std::string_view changedKey = {},
                 std::string_view replacement = {}) {
    std::string out;
    for (const KeyMember& key : kReadingOrder) {
        if (key.name == changedKey) {
            out.append(replacement);
            continue;
        }
        out.append("    <").append(key.name).append(">").append(prefix).append(".");
        out.append(key.name).append("</").append(key.name).append(">\n");
    }
    return out;
}

std::string Section(std::string_view id, std::string_view keys,
                    std::string_view element = "Language") {
    std::string out;
    out.append("  <").append(element).append(" ID=\"").append(id).append("\">\n");
    out.append(keys).append("  </").append(element).append(">\n");
    return out;
}

std::string Section(std::string_view id) {
    return Section(id, Keys(id));
}

std::string Document(std::string_view interfaceBody, std::string_view prolog = {}) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out.append(prolog).append("<KorvaneTexts>\n <Interface>\n");
    out.append(interfaceBody).append(" </Interface>\n</KorvaneTexts>\n");
    return out;
}

class LanguageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::size_t i = 0; i < kReadingOrder.size(); ++i) {
            saved[i] = table.*kReadingOrder[i].member;
            table.*kReadingOrder[i].member = kOld;
        }
    }

    // The table is process-wide: leave it as it was found.
    void TearDown() override {
        for (std::size_t i = 0; i < kReadingOrder.size(); ++i)
            table.*kReadingOrder[i].member = saved[i];
    }

    void ResetTable() {
        for (const KeyMember& key : kReadingOrder)
            table.*key.member = kOld;
    }

    bool Load(const std::string& code, std::string_view bytes) {
        return LoadFile(code, folder.Write("lang.xml", bytes));
    }

    bool LoadFile(const std::string& code, const std::filesystem::path& file) {
        return LoadLanguage(code, QString::fromStdString(file.string()), table);
    }

    // The first `renewed` keys of the reading order hold "<from>.<key>", the others "old".
    void ExpectTable(std::string_view from, std::size_t renewed) const {
        for (std::size_t i = 0; i < kReadingOrder.size(); ++i) {
            const KeyMember& key = kReadingOrder[i];
            const QString expected =
                i < renewed ? QString::fromStdString(std::string(from) + "." + key.name) : kOld;
            EXPECT_EQ(table.*key.member, expected) << "key " << key.name;
        }
    }

    TempFolder folder;
    Lang& table = Lang::Instance();
    std::array<QString, 27> saved;
};

struct LoadCase {
    const char* name;
    std::string document;
    std::string code;
    bool complete;
    std::string from;    // prefix of the renewed texts
    std::size_t renewed; // how many keys of the reading order changed
};

void PrintTo(const LoadCase& c, std::ostream* out) {
    *out << c.name;
}

class SectionSearch : public LanguageFileTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SectionSearch, RenewsTheExpectedKeys) {
    const LoadCase& c = GetParam();
    EXPECT_EQ(Load(c.code, c.document), c.complete);
    ExpectTable(c.from, c.renewed);
}

const std::string kFour = Section("TR") + Section("EN") + Section("RU") + Section("EL");

INSTANTIATE_TEST_SUITE_P(
    Sections, SectionSearch,
    ::testing::Values(
        LoadCase{"LastOfFour", Document(kFour), "EL", true, "EL", 27},
        LoadCase{"FirstOfFour", Document(kFour), "TR", true, "TR", 27},
        LoadCase{"LowerCaseCode", Document(kFour), "en", false, "", 0},
        LoadCase{"MixedCaseCode", Document(kFour), "Tr", false, "", 0},
        LoadCase{"GreekCountryCode", Document(kFour), "GR", false, "", 0},
        LoadCase{"EmptyCode", Document(kFour), "", false, "", 0},
        LoadCase{"LongerCode", Document(kFour), "ENG", false, "", 0},
        LoadCase{"DuplicateIdFirstWins",
                 Document(Section("EN", Keys("first")) + Section("EN", Keys("second"))), "EN", true,
                 "first", 27},
        LoadCase{"EmptyIdIsSkipped", Document(Section("") + Section("EN")), "EN", true, "EN", 27},
        LoadCase{"IdFromCharacterReference", Document(Section("E&#78;", Keys("ref"))), "EN", true,
                 "ref", 27},
        LoadCase{"ElementWithoutIdBeforeMatch",
                 Document(Section("TR") + "  <Note>x</Note>\n" + Section("EN")), "EN", false, "",
                 0},
        LoadCase{"ElementWithoutIdAfterMatch",
                 Document(Section("TR") + "  <Note/>\n" + Section("EN")), "TR", true, "TR", 27},
        LoadCase{"OtherElementWithMatchingIdIsChosen",
                 Document(Section("TR") + Section("RU", Keys("extra"), "Extra")), "RU", true,
                 "extra", 27},
        LoadCase{"ElementBeforeFirstLanguageNeverExamined",
                 Document(Section("TR", Keys("extra"), "Extra") + Section("EN")), "TR", false, "",
                 0},
        LoadCase{"LowerCaseIdAttribute",
                 Document("  <Language id=\"EN\">\n" + Keys("EN") + "  </Language>\n"), "EN", false,
                 "", 0},
        LoadCase{"LowerCaseLanguageElement", Document(Section("EN", Keys("EN"), "language")), "EN",
                 false, "", 0},
        LoadCase{"CommentBeforeMatch",
                 Document(Section("TR") + "  <!-- English -->\n" + Section("EN")), "EN", false, "",
                 0},
        LoadCase{"CommentAfterMatch",
                 Document(Section("TR") + "  <!-- English -->\n" + Section("EN")), "TR", true, "TR",
                 27},
        LoadCase{"TextBeforeMatch", Document(Section("TR") + "  stray\n" + Section("EN")), "EN",
                 false, "", 0},
        LoadCase{"ProcessingInstructionBeforeMatch",
                 Document(Section("TR") + "  <?note x?>\n" + Section("EN")), "EN", false, "", 0},
        LoadCase{"KeysInAnyOrderWithExtraElements",
                 Document(Section(
                     "EN", "<stUnknown>x</stUnknown><Other/>" +
                               [] {
                                   std::string reversed;
                                   for (auto key = kReadingOrder.rbegin();
                                        key != kReadingOrder.rend(); ++key)
                                       reversed += std::string("<") + key->name + ">EN." +
                                                   key->name + "</" + key->name + ">";
                                   return reversed;
                               }())),
                 "EN", true, "EN", 27},
        LoadCase{"MissingFirstKey", Document(Section("EN", Keys("EN", "stCountry"))), "EN", false,
                 "", 0},
        LoadCase{"MissingMessage", Document(Section("EN", Keys("EN", "stMessage"))), "EN", false,
                 "EN", 13},
        LoadCase{"MissingLastKey", Document(Section("EN", Keys("EN", "stLegalNotice"))), "EN",
                 false, "EN", 26},
        LoadCase{"EmptyElement", Document(Section("EN", Keys("EN", "stShow", "<stShow/>"))), "EN",
                 false, "EN", 11},
        LoadCase{"EmptyPair", Document(Section("EN", Keys("EN", "stShow", "<stShow></stShow>"))),
                 "EN", false, "EN", 11},
        LoadCase{"BlankText",
                 Document(Section("EN", Keys("EN", "stShow", "<stShow> \t\n </stShow>"))), "EN",
                 false, "EN", 11},
        LoadCase{"ChildElement",
                 Document(Section("EN", Keys("EN", "stShow", "<stShow><b>Show</b></stShow>"))),
                 "EN", false, "EN", 11},
        LoadCase{"TextAndChildElement",
                 Document(Section("EN", Keys("EN", "stShow", "<stShow>Show<br/></stShow>"))), "EN",
                 false, "EN", 11},
        LoadCase{"CommentOnly",
                 Document(Section("EN", Keys("EN", "stShow", "<stShow><!--c--></stShow>"))), "EN",
                 false, "EN", 11},
        LoadCase{"TextSplitByComment",
                 Document(Section("EN", Keys("EN", "stShow", "<stShow>Sh<!--c-->ow</stShow>"))),
                 "EN", false, "EN", 11},
        LoadCase{"CdataSection",
                 Document(Section("EN", Keys("EN", "stShow", "<stShow><![CDATA[Show]]></stShow>"))),
                 "EN", false, "EN", 11},
        LoadCase{"DuplicateKeyFirstWins",
                 Document(Section("EN", Keys("EN") + "<stShow>late</stShow>")), "EN", true, "EN",
                 27},
        LoadCase{"DuplicateKeyFirstIsEmpty", Document(Section("EN", "<stShow/>" + Keys("EN"))),
                 "EN", false, "EN", 11},
        LoadCase{"NoInterface", "<KorvaneTexts><Other>" + Section("EN") + "</Other></KorvaneTexts>",
                 "EN", false, "", 0},
        LoadCase{"InterfaceAfterOtherChildren",
                 "<KorvaneTexts><Meta/><!-- c --><Interface>" + Section("EN") +
                     "</Interface></KorvaneTexts>",
                 "EN", true, "EN", 27},
        LoadCase{"OnlyFirstInterfaceCounts",
                 "<KorvaneTexts><Interface>" + Section("TR") + "</Interface><Interface>" +
                     Section("EN") + "</Interface></KorvaneTexts>",
                 "EN", false, "", 0},
        LoadCase{"InterfaceNestedDeeper",
                 "<KorvaneTexts><Wrap><Interface>" + Section("EN") +
                     "</Interface></Wrap></KorvaneTexts>",
                 "EN", false, "", 0},
        LoadCase{"PrefixedInterface",
                 "<KorvaneTexts xmlns:k=\"urn:k\"><k:Interface>" + Section("EN") +
                     "</k:Interface></KorvaneTexts>",
                 "EN", false, "", 0},
        LoadCase{"NoLanguageElement", Document(Section("EN", Keys("EN"), "Lang")), "EN", false, "",
                 0},
        LoadCase{"EmptyInterface", Document(""), "EN", false, "", 0},
        LoadCase{"IllFormed", Document(Section("EN")).substr(0, 600), "EN", false, "", 0},
        LoadCase{"EmptyFile", "", "EN", false, "", 0},
        LoadCase{"NotXml", "TR=Türkçe\n", "EN", false, "", 0},
        LoadCase{"UnknownEncoding",
                 "<?xml version=\"1.0\" encoding=\"x-no-such-charset\"?><R><Interface>" +
                     Section("EN") + "</Interface></R>",
                 "EN", false, "", 0}),
    [](const ::testing::TestParamInfo<LoadCase>& row) { return std::string(row.param.name); });

TEST_F(LanguageFileTest, MissingOrUnusableFileChangesNothingAndPrintsNothing) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadFile("EN", folder.path() / "missing.xml"));
    EXPECT_FALSE(LoadFile("EN", folder.path()));
    EXPECT_FALSE(LoadFile("EN", "/dev/zero"));
    const auto fifo = folder.path() / "fifo.xml";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LoadFile("EN", fifo)) << "returns at once instead of waiting for a writer";
    EXPECT_FALSE(LoadLanguage("EN", QString(), table));
    EXPECT_FALSE(Load("EN", "<R><Interface>" + Section("EN")));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ExpectTable("", 0);
}

TEST_F(LanguageFileTest, ReadsTheFileAnewOnEveryLoad) {
    ASSERT_TRUE(Load("EN", Document(Section("EN", Keys("before")))));
    ExpectTable("before", 27);
    ASSERT_TRUE(Load("EN", Document(Section("EN", Keys("after")))));
    ExpectTable("after", 27);
}

TEST_F(LanguageFileTest, DecodesEntitiesAndCharacterReferences) {
    const std::string keys = Keys("EN", "stAbout",
                                  "<stAbout>Q&amp;A &lt;b&gt; &quot;x&quot; &apos;y&apos; "
                                  "&#304;&#x15F;&#x1F600;</stAbout>");
    ASSERT_TRUE(Load("EN", Document(Section("EN", keys))));
    EXPECT_EQ(table.stAbout, QStringLiteral(u"Q&A <b> \"x\" 'y' İş\U0001F600"));
    EXPECT_EQ(table.stHelp, QStringLiteral("EN.stHelp"));
}

TEST_F(LanguageFileTest, KeepsSpacesInsideText) {
    const std::string keys = Keys("EN", "stAbout", "<stAbout>  About  </stAbout>");
    ASSERT_TRUE(Load("EN", Document(Section("EN", keys))));
    EXPECT_EQ(table.stAbout, QStringLiteral("  About  "));
}

struct EncodingCase {
    const char* name;
    const char* encoding;
    std::string bytes;
    QString text;
};

void PrintTo(const EncodingCase& c, std::ostream* out) {
    *out << c.name;
}

class Encodings : public LanguageFileTest, public ::testing::WithParamInterface<EncodingCase> {};

// The bytes are written as they stand in each code page, so the decoding is checked against
// the code page's own table, not against another converter.
TEST_P(Encodings, DecodesByTheDeclaration) {
    const EncodingCase& c = GetParam();
    std::string document =
        std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding + "\"?>\n<R><Interface>\n";
    document += Section(
        "EN", Keys("EN", "stNetworkList", "<stNetworkList>" + c.bytes + "</stNetworkList>\n"));
    document += "</Interface></R>\n";
    ASSERT_TRUE(Load("EN", document));
    EXPECT_EQ(table.stNetworkList, c.text);
    EXPECT_EQ(table.stCountry, QStringLiteral("EN.stCountry"));
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, Encodings,
    ::testing::Values(EncodingCase{"Utf8", "UTF-8", "A\xC4\x9F \xD0\xA1\xCE\xA3 \xE2\x82\xAC",
                                   QStringLiteral(u"Ağ СΣ €")},
                      EncodingCase{"Windows1254", "windows-1254", "\xDDleri \xFE\xF0\xFD\xE7 \x80",
                                   QStringLiteral(u"İleri şğıç €")},
                      EncodingCase{"Windows1251", "windows-1251", "\xCF\xEE\xE8\xF1\xEA \xB8\xA8",
                                   QStringLiteral(u"Поиск ёЁ")},
                      EncodingCase{"Windows1253", "windows-1253",
                                   "\xC1\xF1\xF7\xE5\xDF\xEF \xA2\xF2",
                                   QStringLiteral(u"Αρχείο Άς")},
                      EncodingCase{"Iso88599", "ISO-8859-9", "\xDD\xFE\xF0\xD0\xFD \xE7",
                                   QStringLiteral(u"İşğĞı ç")}),
    [](const ::testing::TestParamInfo<EncodingCase>& row) { return std::string(row.param.name); });

TEST_F(LanguageFileTest, NeverLoadsExternalEntitiesOrDocumentTypes) {
    folder.Write("secret.txt", "SECRET");
    folder.Write("defs.dtd", "<!ENTITY word \"FROMDTD\">\n");
    ::testing::internal::CaptureStderr();
    const std::string external = "<!DOCTYPE KorvaneTexts [<!ENTITY secret SYSTEM \"" +
                                 (folder.path() / "secret.txt").string() + "\">]>\n";
    EXPECT_FALSE(Load(
        "EN", Document(Section("EN", Keys("EN", "stCountry", "<stCountry>&secret;</stCountry>")),
                       external)));
    ExpectTable("", 0);

    const std::string subset =
        "<!DOCTYPE KorvaneTexts SYSTEM \"" + (folder.path() / "defs.dtd").string() + "\">\n";
    EXPECT_FALSE(
        Load("EN", Document(Section("EN", Keys("EN", "stConnect", "<stConnect>&word;</stConnect>")),
                            subset)));
    ExpectTable("EN", 1);

    const std::string parameter = "<!DOCTYPE KorvaneTexts [<!ENTITY % ext SYSTEM \"" +
                                  (folder.path() / "defs.dtd").string() + "\"> %ext;]>\n";
    ResetTable();
    EXPECT_FALSE(Load(
        "EN", Document(Section("EN", Keys("EN", "stFile", "<stFile>&word;</stFile>")), parameter)));
    ExpectTable("", 0); // the entity stays undeclared, which makes the document ill-formed
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

// Ten levels of ten references: fully expanded, about 4 GB of text. The top entity is used in
// a key's text or in a section's "ID".
std::string EntityBomb(bool inAttribute) {
    std::string doc =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE R [\n<!ENTITY e0 \"" + std::string(40, 'a') + "\">\n";
    for (int level = 1; level <= 10; ++level) {
        doc += "<!ENTITY e" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            doc += "&e" + std::to_string(level - 1) + ";";
        doc += "\">\n";
    }
    const std::string section =
        inAttribute ? Section("&e10;")
                    : Section("EN", Keys("EN", "stCountry", "<stCountry>&e10;</stCountry>"));
    return doc + "]>\n<R><Interface>" + section + "</Interface></R>\n";
}

TEST_F(LanguageFileTest, EntityExpansionBombFailsWithoutEatingMemory) {
    const auto inText = folder.Write("text-bomb.xml", EntityBomb(false));
    const auto inAttribute = folder.Write("attribute-bomb.xml", EntityBomb(true));
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(60); // a parser that expands the bomb is stopped rather than left running
        const bool loaded = LoadFile("EN", inText) || LoadFile("EN", inAttribute);
        _exit(loaded ? 1 : Lang::Instance().stCountry == kOld ? 0 : 2);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the load did not end by itself";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a bomb loaded (1) or changed the table (2)";
    // Peak resident sizes in KiB; the child starts as a copy of this process.
    EXPECT_LT(usage.ru_maxrss, before.ru_maxrss + 64 * 1024);
}

TEST(LangInstance, StartsEmptyAndIsOneSharedTable) {
    Lang& first = Lang::Instance();
    for (const KeyMember& key : kReadingOrder)
        EXPECT_TRUE((first.*key.member).isEmpty()) << key.name;
    Lang& second = Lang::Instance();
    EXPECT_EQ(&first, &second);
    first.stHelp = QStringLiteral("Help");
    EXPECT_EQ(second.stHelp, QStringLiteral("Help"));
    first.stHelp.clear();
}

} // namespace
