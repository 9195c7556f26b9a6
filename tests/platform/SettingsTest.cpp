#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "platform/Settings.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

using Record = std::array<std::uint8_t, 10>;
constexpr Record kDefaultRecord = {4, 0, 1, 0, 1, 0, 0, 0, 1, 0};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        m_dir = fs::temp_directory_path() /
                ("vantrel-settings-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    fs::path m_dir;
};

Record WithBytes(std::initializer_list<std::pair<std::size_t, std::uint8_t>> changes) {
    Record r = kDefaultRecord;
    for (const auto& [index, value] : changes) r[index] = value;
    return r;
}

TEST_F(SettingsTest, DefaultsAndConversions) {
    const std::string longTitle(300, 't');
    const std::string longPath(1100, 'p');
    const struct {
        const char* what;
        std::optional<std::string> file;  // nothing: no file at all
        std::string title;
        std::string presetPath;
        std::uint32_t port;
        Record record;
    } cases[] = {
        {"no file", std::nullopt, "", "INI\\Default.dat", 58000, kDefaultRecord},
        {"empty file", "", "", "INI\\Default.dat", 58000, kDefaultRecord},
        {"port not a number", "[Server]\nPort=abc\n", "", "INI\\Default.dat", 0, kDefaultRecord},
        {"empty port", "[Server]\nPort=\n", "", "INI\\Default.dat", 0, kDefaultRecord},
        {"port above 16 bits is kept", "[Server]\nPort=70000\n", "", "INI\\Default.dat", 70000,
         kDefaultRecord},
        {"negative port wraps to 32 bits", "[Server]\nPort=-1\n", "", "INI\\Default.dat",
         4294967295u, kDefaultRecord},
        {"empty preset name gives the default", "[FliePath]\nName=\n", "", "INI\\Default.dat",
         58000, kDefaultRecord},
        {"preset name kept as stored", "[FliePath]\nName=INI\\Mine.dat\n", "", "INI\\Mine.dat",
         58000, kDefaultRecord},
        {"title cut to 255", "[OEM]\nTitle=" + longTitle + "\n", longTitle.substr(0, 255),
         "INI\\Default.dat", 58000, kDefaultRecord},
        {"preset path cut to 1023", "[FliePath]\nName=" + longPath + "\n", "",
         longPath.substr(0, 1023), 58000, kDefaultRecord},
        {"version byte keeps the low 8 bits", "[DSPVer]\nMCUMainVer=300\n", "", "INI\\Default.dat",
         58000, WithBytes({{2, 44}})},
        {"version digits before junk", "[DSPVer]\nMCUSubVer=12abc\n", "", "INI\\Default.dat", 58000,
         WithBytes({{3, 12}})},
        {"negative version byte", "[DSPVer]\nDSPSubVer=  -3\n", "", "INI\\Default.dat", 58000,
         WithBytes({{5, 253}})},
        {"version not a number", "[DSPVer]\nDSPMainVer=x\n", "", "INI\\Default.dat", 58000,
         WithBytes({{4, 0}})},
        {"every version field in its place",
         "[DSPVer]\nName=QV\nMCUMainVer=2\nMCUSubVer=3\nDSPMainVer=4\nDSPSubVer=5\n"
         "MCUMainVer3=6\nMCUSubVer3=7\n",
         "", "INI\\Default.dat", 58000, Record{4, 0, 2, 3, 4, 5, 'Q', 'V', 6, 7}},
        {"one-character name", "[DSPVer]\nName=Q\n", "", "INI\\Default.dat", 58000,
         WithBytes({{6, 'Q'}})},
        {"name characters keep their low 8 bits", "[DSPVer]\nName=\xC3\xA9\xE2\x82\xAC\n", "",
         "INI\\Default.dat", 58000, WithBytes({{6, 0xE9}, {7, 0xAC}})},
        {"CRLF, BOM and names in any case",
         "\xEF\xBB\xBF[oem]\r\n TITLE = My Tuner \r\n[SERVER]\r\nport=1234\r\n[dspver]\r\n"
         "mcumainver=9\r\n",
         "My Tuner", "INI\\Default.dat", 1234, WithBytes({{2, 9}})},
        {"lone CR line ends", "[OEM]\rTitle=T\r[Server]\rPort=1\r", "T", "INI\\Default.dat", 1,
         kDefaultRecord},
    };
    const fs::path file = m_dir / "InitFile.dat";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file);
        if (c.file) std::ofstream(file, std::ios::binary) << *c.file;
        const AppSettings s = ReadSettings(file);
        EXPECT_EQ(s.title, c.title);
        EXPECT_EQ(s.presetPath, c.presetPath);
        EXPECT_EQ(s.adaptorPort, c.port);
        EXPECT_EQ(s.versionRecord, c.record);
    }
}

TEST_F(SettingsTest, TextSettings) {
    const fs::path file = m_dir / "InitFile.dat";
    std::ofstream(file, std::ios::binary)
        << "[OEM]\r\nAboutMenu=About...\r\nAboutTitle=\"About it\"\r\nAboutVer=1.2\r\n"
           "[Server]\r\nIP= 192.168.4.1 \r\nLink=Direct\r\n";
    const AppSettings s = ReadSettings(file);
    EXPECT_EQ(s.aboutMenu, "About...");
    EXPECT_EQ(s.aboutTitle, "About it");
    EXPECT_EQ(s.aboutVer, "1.2");
    EXPECT_EQ(s.adaptorAddress, "192.168.4.1");
    EXPECT_EQ(s.link, "Direct");

    const AppSettings none = ReadSettings(m_dir / "absent.dat");
    EXPECT_EQ(none.aboutMenu, "");
    EXPECT_EQ(none.adaptorAddress, "");
    EXPECT_EQ(none.link, "");
}

TEST(ShippedSettingsTest, TheShippedFileReadsAsIntended) {
    const fs::path dataFolder =
        fs::path(__FILE__).parent_path().parent_path().parent_path() / "data";
    const fs::path file = SettingsFilePath(dataFolder);
    ASSERT_TRUE(fs::exists(file)) << file;
    const AppSettings s = ReadSettings(file);
    EXPECT_EQ(s.title, "Vantrel DSP Tuner");
    EXPECT_EQ(s.aboutMenu, "About Vantrel...");
    EXPECT_EQ(s.aboutTitle, "About Vantrel");
    EXPECT_EQ(s.aboutVer, "Vantrel 0.1.0");
    EXPECT_EQ(s.presetPath, "INI\\Default.dat");
    EXPECT_EQ(s.versionRecord, (Record{4, 0, 1, 5, 1, 0, 'Q', 'V', 1, 5}));
    EXPECT_EQ(s.adaptorAddress, "");
    EXPECT_EQ(s.adaptorPort, 58000u);
    EXPECT_EQ(s.link, "");
}

}  // namespace
}  // namespace vantrel
