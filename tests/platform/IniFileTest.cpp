#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "support/TempFolder.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
protected:
    fs::path Put(const std::string& name, const std::string& bytes) {
        return m_folder.Put(name, bytes);
    }
    static std::string Bytes(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    test::TempFolder m_folder{"vantrel-ini"};
    fs::path m_dir = m_folder.Path();
};

struct ReadCase {
    const char* what;
    std::optional<std::string> file;  // nothing: no file at all
    const char* section;
    const char* key;
    const char* def;
    std::size_t bufferChars;
    std::string expected;
};

// Every case goes through both the single-read function and the parsed document.
TEST_F(IniFileTest, ReadsLikeTheProfileFunctions) {
    const std::string plain = "[OEM]\r\nTitle=Tuner\r\n";
    const ReadCase cases[] = {
        {"found", plain, "OEM", "Title", "d", 256, "Tuner"},
        {"names ignore ASCII case", plain, "oem", "TITLE", "d", 256, "Tuner"},
        {"blanks around names and value", " [ OEM ] \n \t Title \t=  Big Tuner \t\n", "OEM",
         "Title", "d", 256, "Big Tuner"},
        {"lookup names are trimmed too", plain, " OEM ", "Title\t", "d", 256, "Tuner"},
        {"no file", std::nullopt, "OEM", "Title", "dflt", 256, "dflt"},
        {"no section", plain, "Server", "Title", "dflt", 256, "dflt"},
        {"no key", plain, "OEM", "Name", "dflt", 256, "dflt"},
        {"key in another section", "[A]\nx=1\n[B]\ny=2\n", "A", "y", "d", 256, "d"},
        {"empty value is found", "[A]\nx=\n", "A", "x", "d", 256, ""},
        {"value cut to the buffer", plain, "OEM", "Title", "d", 4, "Tun"},
        {"default cut to the buffer", plain, "OEM", "None", "default", 3, "de"},
        {"buffer of one holds nothing", plain, "OEM", "Title", "d", 1, ""},
        {"buffer of zero holds nothing", plain, "OEM", "None", "d", 0, ""},
        {"a character is never split", "[A]\nx=\xC3\xA4\xC3\xB6\xC3\xBC\n", "A", "x", "", 3,
         "\xC3\xA4\xC3\xB6"},
        {"a pair of UTF-16 units is not split", "[A]\nx=\xF0\x9F\x98\x80y\n", "A", "x", "", 2, ""},
        {"a pair of UTF-16 units needs two", "[A]\nx=\xF0\x9F\x98\x80y\n", "A", "x", "", 3,
         "\xF0\x9F\x98\x80"},
        {"first duplicated section wins", "[A]\nx=1\n[a]\nx=2\ny=3\n", "A", "y", "d", 256, "d"},
        {"first duplicated key wins", "[A]\nX=1\nx=2\n", "A", "x", "d", 256, "1"},
        {"comment lines", "[A]\n;x=1\n  ; x=2\nx=3\n", "A", "x", "d", 256, "3"},
        {"semicolon inside a value is kept", "[A]\nx=1;2\n", "A", "x", "d", 256, "1;2"},
        {"double quotes stripped", "[A]\nx= \" a b \" \n", "A", "x", "d", 256, " a b "},
        {"single quotes stripped", "[A]\nx='q'\n", "A", "x", "d", 256, "q"},
        {"only one pair stripped", "[A]\nx=\"\"q\"\"\n", "A", "x", "d", 256, "\"q\""},
        {"unmatched quotes kept", "[A]\nx=\"q'\n", "A", "x", "d", 256, "\"q'"},
        {"a lone quote kept", "[A]\nx=\"\n", "A", "x", "d", 256, "\""},
        {"quotes stripped before cutting", "[A]\nx=\"abcdef\"\n", "A", "x", "d", 4, "abc"},
        {"value holds '='", "[A]\nx=a=b\n", "A", "x", "d", 256, "a=b"},
        {"line without '=' is no value", "[A]\nx\n", "A", "x", "d", 256, "d"},
        {"keys before any section are unreachable", "x=1\n[A]\n", "A", "x", "d", 256, "d"},
        {"header without ']'", "[A \nx=1\n", "A", "x", "d", 256, "1"},
        {"text after ']' ignored", "[A] junk\nx=1\n", "A", "x", "d", 256, "1"},
        {"leading BOM", "\xEF\xBB\xBF[A]\r\nx=1\r\n", "A", "x", "d", 256, "1"},
        {"lone CR line ends", "[A]\rx=1\ry=2", "A", "y", "d", 256, "2"},
        {"no final line end", "[A]\nx=1", "A", "x", "d", 256, "1"},
        {"non-ASCII names match bytewise", "[\xC3\x84]\nx=1\n", "\xC3\x84", "x", "d", 256, "1"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = c.file ? Put("read.ini", *c.file) : m_dir / "absent.ini";
        EXPECT_EQ(ReadIniString(file, c.section, c.key, c.def, c.bufferChars), c.expected);
        const IniDocument doc = IniDocument::Parse(c.file.value_or(""));
        EXPECT_EQ(doc.GetString(c.section, c.key, c.def, c.bufferChars), c.expected);
    }
}

TEST(IniConversionTest, IntegersConvertLikeStrtolBase10) {
    const struct {
        const char* text;
        long expected;
    } cases[] = {
        {"42", 42},
        {"12abc", 12},
        {"  -3", -3},
        {"\t+7", 7},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"- 5", 0},
        {"0x10", 0},
        {"1 2", 1},
        {"007", 7},
        {"9223372036854775807", LONG_MAX},
        {"9223372036854775808", LONG_MAX},
        {"99999999999999999999999", LONG_MAX},
        {"-9223372036854775808", LONG_MIN},
        {"-9223372036854775809", LONG_MIN},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseIniLong(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(IniConversionTest, RealsConvertLikeStrtodInTheCLocale) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"1.5", 1.5}, {" -2.5e3x", -2500.0}, {".5", 0.5},    {"+3", 3.0}, {"abc", 0.0},
        {"", 0.0},    {"1,5", 1.0},          {"0x10", 16.0},
    };
    // A user locale with a decimal comma must not change how files are read.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const bool commaLocale = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(ParseIniReal(c.text), c.expected) << '"' << c.text << '"';
    }
    std::setlocale(LC_ALL, previous.c_str());
    if (!commaLocale) GTEST_LOG_(INFO) << "de_DE.UTF-8 not installed: checked in the C locale only";
    EXPECT_TRUE(std::isinf(ParseIniReal("1e999")));
}

TEST(IniConversionTest, NumbersFromTheDocument) {
    const std::string thirtyTwoDigits = std::string(29, '0') + "123";
    const IniDocument doc = IniDocument::Parse("[N]\nint=  -17 \nempty=\nword=abc\nreal=2.25\n" +
                                               ("long=" + thirtyTwoDigits + "\n"));
    EXPECT_EQ(doc.GetInt("N", "int", 5), -17);
    EXPECT_EQ(doc.GetInt("N", "missing", 5), 5);  // the default, as a number
    EXPECT_EQ(doc.GetInt("N", "empty", 5), 0);
    EXPECT_EQ(doc.GetInt("N", "word", 5), 0);
    EXPECT_EQ(doc.GetInt("N", "long", 5), 12);  // cut to 31 characters before conversion
    EXPECT_DOUBLE_EQ(doc.GetReal("N", "real", 9.5), 2.25);
    EXPECT_DOUBLE_EQ(doc.GetReal("N", "missing", 9.5), 9.5);
    EXPECT_DOUBLE_EQ(doc.GetReal("N", "word", 9.5), 0.0);
}

TEST_F(IniFileTest, NumbersFromTheFile) {
    const fs::path file = Put("n.ini", "[N]\r\nPort=58001\r\nGain=-1.5\r\n");
    EXPECT_EQ(ReadIniInt(file, "n", "port", 1), 58001);
    EXPECT_EQ(ReadIniInt(file, "N", "None", 7), 7);
    EXPECT_EQ(ReadIniInt(m_dir / "absent.ini", "N", "Port", 7), 7);
    EXPECT_DOUBLE_EQ(ReadIniReal(file, "N", "Gain", 0.0), -1.5);
    EXPECT_DOUBLE_EQ(ReadIniReal(file, "N", "None", 3.5), 3.5);
}

TEST(IniDocumentTest, ListsNamesOnceInFileOrder) {
    const IniDocument doc =
        IniDocument::Parse("k=0\n[B]\ny=1\nY=2\nbare\n=3\nx=4\n[A]\n[b]\nz=5\n");
    EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(doc.KeyNames("b"), (std::vector<std::string>{"y", "x"}));
    EXPECT_TRUE(doc.KeyNames("A").empty());
    EXPECT_TRUE(doc.KeyNames("none").empty());
}

struct WriteCase {
    const char* what;
    std::optional<std::string> before;  // nothing: no file yet
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST_F(IniFileTest, WritesOnlyTheLineItChanges) {
    const WriteCase cases[] = {
        {"missing file is created", std::nullopt, "OEM", "Title", "T", "[OEM]\r\nTitle=T\r\n"},
        {"empty file", "", "OEM", "Title", "T", "[OEM]\r\nTitle=T\r\n"},
        {"replace keeps the key's spelling and the other lines' bytes",
         "; note\n[oem]\n  TITLE = old \nNext=1\n", "OEM", "title", "new",
         "; note\n[oem]\nTITLE=new\r\nNext=1\n"},
        {"value written as given", "[A]\nx=1\n", "A", "x", "  \"q\" ", "[A]\nx=  \"q\" \r\n"},
        {"empty value", "[A]\nx=1\n", "A", "x", "", "[A]\nx=\r\n"},
        {"new key after the last key, before blanks and the next section's comment",
         "[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n", "A", "z", "3",
         "[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\n"},
        {"new key after comments inside the section", "[A]\nx=1\n;c\ny=2\n\n", "A", "z", "3",
         "[A]\nx=1\n;c\ny=2\nz=3\r\n\n"},
        {"new key in a section with no keys", "[A]\n\n[B]\n", "A", "x", "1", "[A]\nx=1\r\n\n[B]\n"},
        {"new key after a header at the end without a line end", "[A]", "A", "x", "1",
         "[A]\r\nx=1\r\n"},
        {"new key after a last line without a line end", "[A]\nx=1", "A", "y", "2",
         "[A]\nx=1\r\ny=2\r\n"},
        {"a line without '=' counts as a key", "[A]\nx=1\nbare\n\n", "A", "y", "2",
         "[A]\nx=1\nbare\ny=2\r\n\n"},
        {"new section at the end", "[A]\nx=1\n\n", "B", "y", "2", "[A]\nx=1\n\n[B]\r\ny=2\r\n"},
        {"new section after a last line without a line end", "; only", "B", "y", "2",
         "; only\r\n[B]\r\ny=2\r\n"},
        {"names are written trimmed", "", " B ", " y ", "2", "[B]\r\ny=2\r\n"},
        {"the first of duplicated sections is written", "[A]\nx=1\n[B]\n[a]\ny=2\n", "A", "y", "3",
         "[A]\nx=1\ny=3\r\n[B]\n[a]\ny=2\n"},
        {"the first of duplicated keys is written", "[A]\nx=1\nX=2\n", "A", "x", "3",
         "[A]\nx=3\r\nX=2\n"},
        {"BOM kept", "\xEF\xBB\xBF[A]\r\nx=1\r\n", "A", "x", "2", "\xEF\xBB\xBF[A]\r\nx=2\r\n"},
        {"lone CR ends kept", "[A]\rx=1\r", "A", "y", "2", "[A]\rx=1\ry=2\r\n"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = m_dir / "w.ini";
        fs::remove(file);
        if (c.before) Put("w.ini", *c.before);
        ASSERT_TRUE(WriteIniString(file, c.section, c.key, c.value));
        EXPECT_EQ(Bytes(file), c.after);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"w.ini"});  // no temporary left
    }
}

TEST_F(IniFileTest, RefusesWhatWouldNotReadBack) {
    const std::string before = "[A]\nx=1\n";
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"", "x", "1"},   {"  ", "x", "1"},   {"A]", "x", "1"},   {"A\nB", "x", "1"},
        {"A", "", "1"},   {"A", " ", "1"},    {"A", "x=y", "1"},  {"A", ";x", "1"},
        {"A", "[x", "1"}, {"A", "x\ry", "1"}, {"A", "x", "1\n2"}, {"A", "x", "1\r"},
    };
    const fs::path file = Put("r.ini", before);
    for (const auto& c : cases) {
        EXPECT_FALSE(WriteIniString(file, c.section, c.key, c.value))
            << '[' << c.section << "] " << c.key << '=' << c.value;
    }
    EXPECT_EQ(Bytes(file), before);
}

TEST_F(IniFileTest, WriteFailsWithoutTouchingAnything) {
    EXPECT_FALSE(WriteIniString(m_dir / "no" / "such" / "w.ini", "A", "x", "1"));
    EXPECT_FALSE(fs::exists(m_dir / "no"));

    // A path that exists but cannot be read is never replaced.
    fs::create_directory(m_dir / "dir.ini");
    EXPECT_FALSE(WriteIniString(m_dir / "dir.ini", "A", "x", "1"));
    EXPECT_TRUE(fs::is_directory(m_dir / "dir.ini"));
    EXPECT_EQ(ReadIniString(m_dir / "dir.ini", "A", "x", "d"), "d");
}

TEST_F(IniFileTest, ReplacingKeepsPermissionsAndLinks) {
    const fs::path file = Put("p.ini", "[A]\nx=1\n");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    const fs::path link = m_dir / "link.ini";
    fs::create_symlink("p.ini", link);

    ASSERT_TRUE(WriteIniString(link, "A", "x", "2"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Bytes(file), "[A]\nx=2\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Editing in memory and saving once must give the file a run of single writes gives.
TEST_F(IniFileTest, BulkSaveEqualsSingleWrites) {
    const std::string starts[] = {
        "",
        "\xEF\xBB\xBF; head\r\nstray=1\r\n[OEM]\r\nTitle=Old\r\n\r\n; about B\r\n[B]\nb=1\n[oem]\n"
        "Title=dup\n[Tail]\rt=1",
        "[A]",
    };
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } edits[] = {
        {"OEM", "TITLE", "New"}, {"oem", "Extra", " spaced "},
        {"New", "k1", "v1"},     {"NEW", "k2", "\"q\""},
        {"B", "b", ""},          {"A", "a", "1"},
        {"Tail", "t2", "x=y"},   {"OEM", "Extra", "again"},
        {"A", "bad=key", "1"},   {"Bad]", "k", "1"},
        {"new", "K1", "v1b"},    {"Last", "z", "9"},
    };
    for (const std::string& start : starts) {
        SCOPED_TRACE(start);
        const fs::path single = Put("single.ini", start);
        const fs::path bulk = Put("bulk.ini", start);
        std::optional<IniDocument> doc = IniDocument::LoadForEdit(bulk);
        ASSERT_TRUE(doc);
        for (const auto& e : edits) {
            EXPECT_EQ(WriteIniString(single, e.section, e.key, e.value),
                      doc->SetString(e.section, e.key, e.value));
        }
        ASSERT_TRUE(doc->SaveAtomic(bulk));
        EXPECT_EQ(Bytes(bulk), Bytes(single));
        EXPECT_EQ(ReadIniString(bulk, "new", "k1", "d"), "v1b");
        EXPECT_EQ(ReadIniString(bulk, "new", "k2", "d"), "q");
    }
}

TEST_F(IniFileTest, LoadTellsMissingFromEmpty) {
    EXPECT_FALSE(IniDocument::Load(m_dir / "absent.ini"));
    ASSERT_TRUE(IniDocument::LoadForEdit(m_dir / "absent.ini"));
    EXPECT_EQ(IniDocument::LoadForEdit(m_dir / "absent.ini")->Serialize(), "");
    fs::create_directory(m_dir / "dir.ini");
    EXPECT_FALSE(IniDocument::LoadForEdit(m_dir / "dir.ini"));
}

TEST(IniPathTest, StoredPathsBecomeLocalPaths) {
    const struct {
        const char* stored;
        const char* expected;
    } cases[] = {
        {"INI\\Default.dat", "INI/Default.dat"},   {".//INI//InitFile.dat", "INI/InitFile.dat"},
        {".\\INI\\\\sub\\..\\x.dat", "INI/x.dat"}, {"Default.dat", "Default.dat"},
        {"/abs/INI/x.dat", "/abs/INI/x.dat"},      {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathFromStored(c.stored), fs::path(c.expected)) << c.stored;
    }
}

TEST(IniTextTest, Utf16ViewOfStoredText) {
    EXPECT_EQ(Utf16FromStored("QV"), u"QV");
    EXPECT_EQ(Utf16FromStored("\xC3\xA9\xE2\x82\xAC"), u"\u00E9\u20AC");
    EXPECT_EQ(Utf16FromStored("\xF0\x9F\x98\x80"), u"\U0001F600");
    // Bytes that are not UTF-8 (a Latin-1 file, a cut sequence, an overlong form) stand for
    // themselves.
    EXPECT_EQ(Utf16FromStored("\xE9t\xE2\x82"), u"\u00E9t\u00E2\u0082");
    EXPECT_EQ(Utf16FromStored("\xC0\xAF"), u"\u00C0\u00AF");
    EXPECT_EQ(Utf16FromStored("\xED\xA0\x80"), u"\u00ED\u00A0\u0080");
}

}  // namespace
}  // namespace vantrel
