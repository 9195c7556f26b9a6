#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "model/DeviceCatalogue.h"
#include "model/DeviceSelection.h"
#include "support/TempFolder.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// ---- Reading the catalogue -------------------------------------------------------------------

TEST(DeviceCatalogueParse, ReadsEntriesInOrderWithDefaultsForMissingKeys) {
    const DeviceCatalogue catalogue = ParseDeviceCatalogue(
        "[BaseInfo]\r\nDeviceNumber=3\r\n"
        "[Model1]\r\nPartNo=1\r\nName=Alpha 2\r\nChannle=2\r\nType=ClassAB\r\nPower=80\r\n"
        "[Model3]\r\nPartNo=12abc\r\nName=Gamma\r\nChannle=-1\r\nType=ClassD Bass\r\n");
    ASSERT_EQ(catalogue.Entries.size(), 3u);
    EXPECT_EQ(catalogue.Count(), 3);

    const DeviceModelEntry& first = catalogue.Entries[0];
    EXPECT_EQ(first.ModelCode, 0);  // PartNo 1
    EXPECT_EQ(first.Name, "Alpha 2");
    EXPECT_EQ(first.Channels, 2);
    EXPECT_EQ(first.Type, "ClassAB");
    EXPECT_EQ(first.Power, 80);

    // No section at all: every key at its default, PartNo 0 giving code 0xFFFF.
    const DeviceModelEntry& second = catalogue.Entries[1];
    EXPECT_EQ(second.ModelCode, 0xFFFF);
    EXPECT_EQ(second.Name, "");
    EXPECT_EQ(second.Channels, 0);
    EXPECT_EQ(second.Type, "");
    EXPECT_EQ(second.Power, 0);

    const DeviceModelEntry& third = catalogue.Entries[2];
    EXPECT_EQ(third.ModelCode, 11);  // digits up to the first non-digit
    EXPECT_EQ(third.Channels, 255);  // low 8 bits of -1: "ALL"
    EXPECT_EQ(third.Power, 0);
}

TEST(DeviceCatalogueParse, KeepsTheLowBitsOfEveryNumber) {
    struct Case {
        const char* text;
        std::size_t count;
        std::uint16_t modelCode;
        std::uint8_t channels;
        std::int16_t power;
    };
    const Case cases[] = {
        {"DeviceNumber=300\n[Model1]\nPartNo=65538\nChannle=260\nPower=70000", 44, 1, 4, 4464},
        {"DeviceNumber=-1\n[Model1]\nPartNo=-4\nChannle=-2\nPower=-30", 255, 0xFFFB, 254, -30},
        // Beyond the range of long: clamped, then cut; never undefined arithmetic.
        {"DeviceNumber=257\n[Model1]\nPartNo=-99999999999999999999999\nPower=99999999999999999999",
         1, 0xFFFF, 0, -1},
        {"DeviceNumber=256", 0, 0, 0, 0},
        {"DeviceNumber=ten", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const DeviceCatalogue catalogue =
            ParseDeviceCatalogue(std::string("[BaseInfo]\n") + c.text + "\n");
        ASSERT_EQ(catalogue.Entries.size(), c.count);
        if (c.count == 0) continue;
        EXPECT_EQ(catalogue.Entries[0].ModelCode, c.modelCode);
        EXPECT_EQ(catalogue.Entries[0].Channels, c.channels);
        EXPECT_EQ(catalogue.Entries[0].Power, c.power);
    }
}

TEST(DeviceCatalogueParse, ReadsNumbersAndTextsThroughTheirBuffers) {
    // A number is read as at most 31 characters; a text as at most 255.
    const std::string zeros(31, '0');
    const DeviceCatalogue catalogue = ParseDeviceCatalogue(
        "[BaseInfo]\nDeviceNumber=1\n[Model1]\nPower=" + zeros + "7\nChannle=" + zeros.substr(1) +
        "6\nName=" + std::string(300, 'n') + "\nType=" + std::string(256, 't') + "\n");
    ASSERT_EQ(catalogue.Entries.size(), 1u);
    EXPECT_EQ(catalogue.Entries[0].Power, 0);
    EXPECT_EQ(catalogue.Entries[0].Channels, 6);
    EXPECT_EQ(catalogue.Entries[0].Name, std::string(255, 'n'));
    EXPECT_EQ(catalogue.Entries[0].Type, std::string(255, 't'));
}

TEST(DeviceCatalogueParse, SurvivesBytesThatAreNoCatalogue) {
    using namespace std::string_literals;
    const std::string inputs[] = {
        "",
        "[BaseInfo]\r\nDeviceNumber=4\r\n[Model1]\r\nPartNo=",  // cut off
        "[BaseInfo]\0\nDeviceNumber=2\n\xff\xfe[Model1\nName=\x80\x81"s,
        "DeviceNumber=5\n[Model1]\nPartNo=3",  // count outside its section
    };
    for (const std::string& input : inputs) {
        const DeviceCatalogue catalogue = ParseDeviceCatalogue(input);
        EXPECT_LE(catalogue.Entries.size(), kMaxCatalogueEntries);
    }
    EXPECT_EQ(ParseDeviceCatalogue(inputs[1]).Entries.size(), 4u);
    EXPECT_TRUE(ParseDeviceCatalogue(inputs[3]).Entries.empty());
}

class DeviceCatalogueFileTest : public ::testing::Test {
protected:
    test::TempFolder m_folder{"vantrel-catalogue"};
    fs::path m_dir = m_folder.Path();
};

TEST_F(DeviceCatalogueFileTest, LoadsAFileAndRefusesWhatIsNoFile) {
    const fs::path file = m_dir / "DeviceModels.dat";
    std::ofstream(file, std::ios::binary)
        << "[BaseInfo]\r\nDeviceNumber=1\r\n[Model1]\r\nPartNo=4\r\nName=Four\r\n";
    const std::optional<DeviceCatalogue> catalogue = LoadDeviceCatalogue(file);
    ASSERT_TRUE(catalogue.has_value());
    ASSERT_EQ(catalogue->Entries.size(), 1u);
    EXPECT_EQ(catalogue->Entries[0].ModelCode, 3);
    EXPECT_EQ(catalogue->Entries[0].Name, "Four");

    EXPECT_FALSE(LoadDeviceCatalogue(m_dir / "missing.dat").has_value());
    EXPECT_FALSE(LoadDeviceCatalogue(m_dir).has_value());  // a folder in its place

    // An empty file is a catalogue without models, not a missing one.
    std::ofstream(m_dir / "empty.dat", std::ios::binary).flush();
    const std::optional<DeviceCatalogue> empty = LoadDeviceCatalogue(m_dir / "empty.dat");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->Entries.empty());
}

// ---- Lookup -----------------------------------------------------------------------------------

DeviceModelEntry Entry(std::string name, std::uint8_t channels, std::string type,
                       std::uint16_t modelCode) {
    DeviceModelEntry entry;
    entry.Name = std::move(name);
    entry.Channels = channels;
    entry.Type = std::move(type);
    entry.Power = 100;
    entry.ModelCode = modelCode;
    return entry;
}

TEST(DeviceCatalogueLookup, FindsTheFirstEntryWithTheCode) {
    DeviceCatalogue catalogue;
    catalogue.Entries = {Entry("A", 2, "ClassAB", 7), Entry("B", 1, "ClassD Bass", 3),
                         Entry("C", 4, "ClassD", 3)};
    EXPECT_EQ(FindCatalogueEntry(catalogue, 7), 0u);
    EXPECT_EQ(FindCatalogueEntry(catalogue, 3), 1u);
    EXPECT_EQ(FindCatalogueEntry(catalogue, 4), std::nullopt);
    EXPECT_EQ(FindCatalogueEntry(DeviceCatalogue{}, 0), std::nullopt);
}

TEST(DeviceCatalogueLookup, ChannelNumAndModeOfAnEntry) {
    struct Case {
        std::uint8_t channels;
        std::uint8_t channelNum;
    };
    // Only counts the channel loops can run over pass; anything else gives the start value 4.
    const Case cases[] = {{1, 1}, {2, 2}, {4, 4}, {6, 6},   {0, 4},
                          {3, 4}, {5, 4}, {7, 4}, {255, 4}, {128, 4}};
    for (const Case& c : cases) {
        EXPECT_EQ(EntryChannelNum(Entry("x", c.channels, "ClassD", 0)), c.channelNum)
            << int{c.channels};
    }
    EXPECT_EQ(EntryMode(Entry("x", 1, "ClassD Bass", 0)), 2);
    EXPECT_EQ(EntryMode(Entry("x", 1, "ClassD", 0)), 0);
    EXPECT_EQ(EntryMode(Entry("x", 1, "classd bass", 0)), 0);
    EXPECT_EQ(EntryMode(Entry("x", 1, "", 0)), 0);
}

TEST(DeviceCatalogueLookup, ApplyUsesTheMatchOrEntryZeroAndKeepsValuesWithoutCatalogue) {
    DeviceCatalogue catalogue;
    catalogue.Entries = {Entry("Two", 2, "ClassAB", 0), Entry("Bass", 1, "ClassD Bass", 4)};

    std::uint8_t channelNum = 4;
    std::uint8_t mode = 0;
    const DeviceModelEntry* entry = ApplyCatalogueEntry(catalogue, 4, channelNum, mode);
    ASSERT_EQ(entry, &catalogue.Entries[1]);
    EXPECT_EQ(channelNum, 1);
    EXPECT_EQ(mode, 2);

    entry = ApplyCatalogueEntry(catalogue, 200, channelNum, mode);  // unknown code
    ASSERT_EQ(entry, &catalogue.Entries[0]);
    EXPECT_EQ(channelNum, 2);
    EXPECT_EQ(mode, 0);

    channelNum = 6;
    mode = 2;
    EXPECT_EQ(ApplyCatalogueEntry(DeviceCatalogue{}, 0, channelNum, mode), nullptr);
    EXPECT_EQ(channelNum, 6);
    EXPECT_EQ(mode, 2);
}

// ---- The catalogue we ship ----------------------------------------------------------------------

TEST(ShippedDeviceCatalogue, LoadsAndEveryEntryIsSane) {
    const fs::path file = VANTREL_SOURCE_DIR "/data/INI/DeviceModels.dat";
    const std::optional<DeviceCatalogue> catalogue = LoadDeviceCatalogue(file);
    ASSERT_TRUE(catalogue.has_value());
    ASSERT_GE(catalogue->Entries.size(), 10u);

    std::set<std::uint16_t> codes;
    std::set<std::string> names;
    std::set<std::string> typesSeen;
    std::set<int> channelsSeen;
    for (const DeviceModelEntry& entry : catalogue->Entries) {
        SCOPED_TRACE(entry.Name);
        // A missing section would show up as code 0xFFFF and an empty name.
        EXPECT_LT(entry.ModelCode, 256) << "the amplifier reports its code in one byte";
        EXPECT_TRUE(codes.insert(entry.ModelCode).second) << "PartNo used twice";
        // OK picks by name, so a repeated name would hide a model.
        EXPECT_TRUE(names.insert(entry.Name).second) << "name used twice";
        EXPECT_FALSE(entry.Name.empty());
        EXPECT_TRUE(entry.Channels == 1 || entry.Channels == 2 || entry.Channels == 4);
        EXPECT_TRUE(entry.Type == "ClassAB" || entry.Type == "ClassD" ||
                    entry.Type == "ClassD Bass");
        EXPECT_GT(entry.Power, 0);
        typesSeen.insert(entry.Type);
        channelsSeen.insert(entry.Channels);
    }
    EXPECT_EQ(typesSeen.size(), 3u);
    EXPECT_EQ(channelsSeen, (std::set<int>{1, 2, 4}));

    // The virtual amplifier reports code 3; the firmware checks preselect codes 4, 0 and 1 for
    // one-, two- and four-channel amplifiers.
    struct Expected {
        std::uint16_t code;
        std::uint8_t channels;
    };
    for (const Expected expected :
         {Expected{3, 4}, Expected{4, 1}, Expected{0, 2}, Expected{1, 4}}) {
        const std::optional<std::size_t> index = FindCatalogueEntry(*catalogue, expected.code);
        ASSERT_TRUE(index.has_value()) << expected.code;
        EXPECT_EQ(catalogue->Entries[*index].Channels, expected.channels) << expected.code;
    }
    EXPECT_EQ(catalogue->Entries[*FindCatalogueEntry(*catalogue, 3)].Type, "ClassD");

    // Shipped with Windows line ends, so it travels unchanged.
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "offset " << i;
        }
    }
}

// ---- The "Device Select" dialog -----------------------------------------------------------------

constexpr int kChannels1 = 0, kChannels2 = 1, kChannels4 = 2, kChannels6 = 3, kChannelsAll = 4;
constexpr int kTypeAB = 0, kTypeD = 1, kTypeBass = 2, kTypeAll = 3;

DeviceCatalogue DialogCatalogue() {
    DeviceCatalogue catalogue;
    catalogue.Entries = {
        Entry("AB2", 2, "ClassAB", 0),      Entry("D2", 2, "ClassD", 1),
        Entry("D4", 4, "ClassD", 3),        Entry("D2 mini", 2, "ClassD", 5),
        Entry("Bass", 1, "ClassD Bass", 4), Entry("D any", 255, "ClassD", 6),
        Entry("AB4", 4, "ClassAB", 3),
    };
    return catalogue;
}

std::vector<std::string> Names(std::initializer_list<const char*> names) {
    return {names.begin(), names.end()};
}

TEST(DeviceSelectionTest, OpensWithTheLastEntryOfThePresetCode) {
    const DeviceSelection dialog(DialogCatalogue(), 3);  // D4 and AB4 share code 3
    EXPECT_EQ(dialog.ModelListNames(),
              Names({"AB2", "D2", "D4", "D2 mini", "Bass", "D any", "AB4"}));
    ASSERT_TRUE(dialog.Selected().has_value());
    EXPECT_EQ(dialog.Selected()->Name, "AB4");
    EXPECT_EQ(dialog.ModelListIndex(), 6);
    EXPECT_EQ(dialog.ChannelsListIndex(), kChannels4);
    EXPECT_EQ(dialog.TypeListIndex(), kTypeAB);
    EXPECT_EQ(dialog.Ok(), 6);

    const DeviceSelection any(DialogCatalogue(), 6);
    EXPECT_EQ(any.ChannelsListIndex(), kChannelsAll);  // 255 shows as "ALL"
    EXPECT_EQ(any.TypeListIndex(), kTypeD);
}

TEST(DeviceSelectionTest, OpensWithNothingSelectedWhenNoEntryHasThePresetCode) {
    DeviceCatalogue catalogue = DialogCatalogue();
    catalogue.Entries.push_back(Entry("", 0, "", 0xFFFF));  // a model without a section
    const DeviceSelection dialog(std::move(catalogue), 9);
    EXPECT_EQ(dialog.ModelListNames().size(), 8u);
    EXPECT_FALSE(dialog.Selected().has_value());
    EXPECT_EQ(dialog.ModelListIndex(), kNoListItem);
    EXPECT_EQ(dialog.ChannelsListIndex(), kNoListItem);
    EXPECT_EQ(dialog.TypeListIndex(), kNoListItem);
    // The empty name of the selection must not match the nameless entry.
    EXPECT_EQ(dialog.Ok(), std::nullopt);
}

TEST(DeviceSelectionTest, ChannelsAndTypeFilterTheModelListTogether) {
    DeviceSelection dialog(DialogCatalogue(), 3);
    ASSERT_TRUE(dialog.SelectType(kTypeD));
    EXPECT_EQ(dialog.ModelListNames(), Names({"D4"}));  // Channels still shows "4"

    ASSERT_TRUE(dialog.SelectChannels(kChannels2));
    EXPECT_EQ(dialog.ModelListNames(), Names({"D2", "D2 mini"}));
    EXPECT_EQ(dialog.FilteredEntries(), (std::vector<std::size_t>{1, 3}));
    EXPECT_EQ(dialog.Selected()->Name, "D2");
    EXPECT_EQ(dialog.ModelListIndex(), 0);
    EXPECT_EQ(dialog.ChannelsListIndex(), kChannels2);
    EXPECT_EQ(dialog.TypeListIndex(), kTypeD);

    ASSERT_TRUE(dialog.SelectChannels(kChannelsAll));
    EXPECT_EQ(dialog.ModelListNames(), Names({"D2", "D4", "D2 mini", "D any"}));
    EXPECT_EQ(dialog.Selected()->Name, "D2");

    ASSERT_TRUE(dialog.SelectType(kTypeAll));
    EXPECT_EQ(dialog.ModelListNames().size(), 7u);
    EXPECT_EQ(dialog.Selected()->Name, "AB2");
    EXPECT_EQ(dialog.Ok(), 0);
}

TEST(DeviceSelectionTest, AnAllChannelsEntryIsListedOnlyUnderAll) {
    DeviceSelection dialog(DialogCatalogue(), 0);
    ASSERT_TRUE(dialog.SelectType(kTypeAll));
    for (const int item : {kChannels1, kChannels2, kChannels4, kChannels6, kChannelsAll}) {
        dialog.SelectChannels(item);
        const std::vector<std::string> names = dialog.ModelListNames();
        const bool listed = std::find(names.begin(), names.end(), "D any") != names.end();
        EXPECT_EQ(listed, item == kChannelsAll)
            << kChannelsList[static_cast<std::size_t>(item)].Text;
    }
}

TEST(DeviceSelectionTest, ChoosingAModelShowsItsChannelsAndTypeWithoutFiltering) {
    DeviceSelection dialog(DialogCatalogue(), 1);      // D2: Channels "2", Type "ClassD"
    ASSERT_TRUE(dialog.SelectChannels(kChannelsAll));  // D2, D4, D2 mini, D any

    ASSERT_TRUE(dialog.SelectModel(1));
    EXPECT_EQ(dialog.Selected()->Name, "D4");
    EXPECT_EQ(dialog.Selected()->ModelCode, 3);
    EXPECT_EQ(dialog.ChannelsListIndex(), kChannels4);
    EXPECT_EQ(dialog.TypeListIndex(), kTypeD);
    EXPECT_EQ(dialog.ModelListNames(), Names({"D2", "D4", "D2 mini", "D any"}));
    EXPECT_EQ(dialog.Ok(), 2);

    ASSERT_TRUE(dialog.SelectModel(3));
    EXPECT_EQ(dialog.ChannelsListIndex(), kChannelsAll);
    EXPECT_EQ(dialog.Ok(), 5);

    // The item already shown, or no item of the list, changes nothing.
    EXPECT_FALSE(dialog.SelectModel(3));
    EXPECT_FALSE(dialog.SelectModel(4));
    EXPECT_FALSE(dialog.SelectModel(kNoListItem));
    EXPECT_FALSE(dialog.SelectChannels(kChannelsAll));
    EXPECT_FALSE(dialog.SelectChannels(5));
    EXPECT_FALSE(dialog.SelectType(kTypeD));
    EXPECT_FALSE(dialog.SelectType(-2));
    EXPECT_EQ(dialog.Selected()->Name, "D any");
    EXPECT_EQ(dialog.ModelListNames().size(), 4u);
}

TEST(DeviceSelectionTest, AFilterThatKeepsNothingLeavesNothingSelected) {
    DeviceSelection dialog(DialogCatalogue(), 1);
    ASSERT_TRUE(dialog.SelectChannels(kChannels6));
    EXPECT_TRUE(dialog.ModelListNames().empty());
    EXPECT_FALSE(dialog.Selected().has_value());
    EXPECT_EQ(dialog.ModelListIndex(), kNoListItem);
    EXPECT_EQ(dialog.ChannelsListIndex(), kChannels6);
    EXPECT_EQ(dialog.Ok(), std::nullopt);  // not the model that was selected before
    EXPECT_FALSE(dialog.SelectModel(0));

    ASSERT_TRUE(dialog.SelectChannels(kChannels1));
    EXPECT_TRUE(dialog.ModelListNames().empty());  // Type still "ClassD"
    ASSERT_TRUE(dialog.SelectType(kTypeBass));
    EXPECT_EQ(dialog.ModelListNames(), Names({"Bass"}));
    EXPECT_EQ(dialog.Ok(), 4);
}

TEST(DeviceSelectionTest, AListShowingNoItemDoesNotFilter) {
    DeviceSelection dialog(DialogCatalogue(), 99);  // nothing selected anywhere
    ASSERT_TRUE(dialog.SelectType(kTypeAB));
    EXPECT_EQ(dialog.ModelListNames(), Names({"AB2", "AB4"}));
    EXPECT_EQ(dialog.ChannelsListIndex(), kNoListItem);
    EXPECT_EQ(dialog.Selected()->Name, "AB2");
}

TEST(DeviceSelectionTest, OkWithEqualNamesReturnsTheLaterEntry) {
    DeviceCatalogue catalogue;
    catalogue.Entries = {Entry("Twin", 2, "ClassD", 0), Entry("Other", 4, "ClassD", 1),
                         Entry("Twin", 4, "ClassAB", 2)};
    const DeviceSelection dialog(std::move(catalogue), 0);
    EXPECT_EQ(dialog.Selected()->ModelCode, 0);
    EXPECT_EQ(dialog.Ok(), 2);
    EXPECT_EQ(DeviceSelection::Cancel(), 255);
}

TEST(DeviceSelectionTest, AnEmptyCatalogueListsNothingAndOkLeavesTheResult) {
    DeviceSelection dialog(DeviceCatalogue{}, 3);
    EXPECT_TRUE(dialog.ModelListNames().empty());
    EXPECT_FALSE(dialog.Selected().has_value());
    EXPECT_EQ(dialog.Ok(), std::nullopt);
    EXPECT_TRUE(dialog.SelectChannels(kChannelsAll));
    EXPECT_TRUE(dialog.SelectType(kTypeAll));
    EXPECT_TRUE(dialog.ModelListNames().empty());
    EXPECT_EQ(dialog.Ok(), std::nullopt);
}

TEST(DeviceSelectionTest, NeverAnswersWithTheCancelIndex) {
    DeviceCatalogue catalogue;
    for (int i = 0; i < 300; ++i) {
        catalogue.Entries.push_back(
            Entry("M" + std::to_string(i), 2, "ClassD", static_cast<std::uint16_t>(i)));
    }
    const DeviceSelection dialog(std::move(catalogue), 255);
    EXPECT_EQ(dialog.ModelListNames().size(), kMaxCatalogueEntries);
    EXPECT_FALSE(dialog.Selected().has_value());  // entry 255 is beyond what the dialog lists
    const DeviceSelection last(dialog.Catalogue(), 254);
    EXPECT_EQ(last.Ok(), 254);
}

}  // namespace
}  // namespace vantrel
