#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/DataFolder.h"
#include "support/TempFolder.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

class DataFolderTest : public ::testing::Test {
protected:
    static void Put(const fs::path& file, const std::string& bytes) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string Bytes(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    // A shipped copy: settings, a nested file and a file outside INI/.
    fs::path MakeSeed(const std::string& name) {
        const fs::path seed = m_root / name;
        Put(seed / "INI" / "InitFile.dat", "seed settings");
        Put(seed / "INI" / "Presets" / "Default.dat", "seed preset");
        Put(seed / "skin" / "knob.png", "png");
        return seed;
    }

    test::TempFolder m_folder{"vantrel-data"};
    fs::path m_root = m_folder.Path();
};

TEST_F(DataFolderTest, PicksTheFirstUsableFolder) {
    enum Where { None, Explicit, ExplicitInWork, Work, Xdg, Home };
    const struct {
        const char* what;
        const char* explicitDir;  // null: not given
        bool workHasIni;
        const char* xdg;  // null: unset; "abs" becomes an absolute folder
        bool home;
        bool seed;
        bool userHasIni;
        Where expected;
    } cases[] = {
        {"explicit wins even without INI", "abs", true, "abs", true, true, true, Explicit},
        {"relative explicit is taken in the working dir", "mine", true, "abs", true, true, false,
         ExplicitInWork},
        {"working dir with INI", nullptr, true, "abs", true, true, true, Work},
        {"XDG, seeded", nullptr, false, "abs", true, true, false, Xdg},
        {"relative XDG is ignored", nullptr, false, "rel/data", true, true, false, Home},
        {"empty XDG is ignored", nullptr, false, "", true, true, false, Home},
        {"HOME when XDG is unset", nullptr, false, nullptr, true, true, false, Home},
        {"user folder already filled, no seed", nullptr, false, "abs", true, false, true, Xdg},
        {"nowhere to put a user folder", nullptr, false, nullptr, false, true, false, None},
        {"empty user folder and no seed", nullptr, false, "abs", true, false, false, None},
        {"empty explicit path", "", true, "abs", true, true, true, None},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path base = m_root / ("case" + std::to_string(index++));
        const fs::path work = base / "work";
        const fs::path xdgData = base / "xdg" / "vantrel";
        const fs::path homeData = base / "home" / ".local" / "share" / "vantrel";
        fs::create_directories(work);
        if (c.workHasIni) fs::create_directories(work / "INI");

        DataFolderOptions options;
        options.workingDir = work;
        if (c.explicitDir) {
            options.explicitDir =
                std::string(c.explicitDir) == "abs" ? base / "explicit" : fs::path(c.explicitDir);
        }
        if (c.xdg) {
            options.xdgDataHome =
                std::string(c.xdg) == "abs" ? (base / "xdg").string() : std::string(c.xdg);
        }
        if (c.home) options.home = (base / "home").string();
        if (c.seed) {
            options.seedDirs = {base / "absent", base / "seed"};
            Put(base / "seed" / "INI" / "InitFile.dat", "seed");
        }
        if (c.userHasIni) {
            fs::create_directories(xdgData / "INI");
            fs::create_directories(homeData / "INI");
        }

        std::string error;
        const std::optional<fs::path> got = ResolveDataFolder(options, &error);
        switch (c.expected) {
            case None:
                EXPECT_FALSE(got);
                EXPECT_FALSE(error.empty());
                continue;
            case Explicit:
                EXPECT_EQ(got, base / "explicit");
                break;
            case ExplicitInWork:
                EXPECT_EQ(got, work / c.explicitDir);
                break;
            case Work:
                EXPECT_EQ(got, work);
                break;
            case Xdg:
                EXPECT_EQ(got, xdgData);
                break;
            case Home:
                EXPECT_EQ(got, homeData);
                break;
        }
        if (c.expected == Xdg || c.expected == Home) {
            EXPECT_TRUE(fs::is_directory(*got / "INI"));
        }
    }
}

TEST_F(DataFolderTest, SeedsFromTheFirstShippedCopyWithoutOverwriting) {
    const fs::path empty = m_root / "empty-seed";  // exists but holds no INI/
    fs::create_directories(empty / "skin");
    const fs::path seed = MakeSeed("seed");
    const fs::path later = MakeSeed("later-seed");
    Put(later / "INI" / "Later.dat", "never copied");

    DataFolderOptions options;
    options.workingDir = m_root;
    options.xdgDataHome = (m_root / "xdg").string();
    options.seedDirs = {empty, seed, later};
    const fs::path user = m_root / "xdg" / "vantrel";

    ASSERT_EQ(ResolveDataFolder(options), user);
    EXPECT_EQ(Bytes(user / "INI" / "InitFile.dat"), "seed settings");
    EXPECT_EQ(Bytes(user / "INI" / "Presets" / "Default.dat"), "seed preset");
    EXPECT_EQ(Bytes(user / "skin" / "knob.png"), "png");
    EXPECT_FALSE(fs::exists(user / "INI" / "Later.dat"));

    // The user edits a file; a newer shipped copy adds one.
    Put(user / "INI" / "InitFile.dat", "mine");
    Put(seed / "INI" / "New.dat", "new");
    ASSERT_EQ(ResolveDataFolder(options), user);
    EXPECT_EQ(Bytes(user / "INI" / "InitFile.dat"), "mine");
    EXPECT_EQ(Bytes(user / "INI" / "New.dat"), "new");
}

TEST_F(DataFolderTest, ReportsAFolderThatCannotBeMade) {
    MakeSeed("seed");
    Put(m_root / "xdg" / "vantrel", "a file where the folder should be");
    DataFolderOptions options;
    options.workingDir = m_root;
    options.xdgDataHome = (m_root / "xdg").string();
    options.seedDirs = {m_root / "seed"};

    std::string error;
    EXPECT_FALSE(ResolveDataFolder(options, &error));
    EXPECT_NE(error.find((m_root / "xdg" / "vantrel").string()), std::string::npos) << error;
}

TEST(DataFolderPathsTest, ShippedCopiesSitBesideTheProgram) {
    EXPECT_EQ(DefaultSeedDirs("/opt/v/bin"),
              (std::vector<fs::path>{"/opt/v/data", "/opt/v/share/vantrel"}));
    EXPECT_TRUE(DefaultSeedDirs("").empty());

    const fs::path exeDir = ExecutableDir();
    EXPECT_TRUE(exeDir.is_absolute());
    EXPECT_TRUE(fs::is_directory(exeDir));
}

}  // namespace
}  // namespace vantrel
