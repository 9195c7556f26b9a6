#include "link/FirmwareFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "support/TempFolder.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size, std::uint32_t seed) {
    Bytes out(size);
    std::mt19937 random(seed);
    for (auto& b : out) b = static_cast<std::uint8_t>(random());
    return out;
}

Bytes Scrambled(Bytes bytes) {
    for (auto& b : bytes) b ^= 0xB5;
    return bytes;
}

class FirmwareFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir / "PNGRes");
        m_pair = FirmwarePairPath(m_dir, "D2");
    }

    static void Put(const fs::path& file, const Bytes& bytes) {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    void PutPair(const SplitImage& parts) const {
        Put(m_pair.r0, parts.r0);
        Put(m_pair.r1, parts.r1);
    }

    test::TempFolder m_folder{"vantrel-firmware"};
    fs::path m_dir = m_folder.Path();
    FirmwarePair m_pair;
};

TEST(FirmwarePairPathTest, NamesBothFilesInTheSkinFolder) {
    const FirmwarePair pair = FirmwarePairPath("/data", "E3");
    EXPECT_EQ(pair.r0, fs::path("/data/PNGRes/E3.r0"));
    EXPECT_EQ(pair.r1, fs::path("/data/PNGRes/E3.r1"));
}

// A 6000-byte DSP image split 4000 + 2000: .r1 is appended from its last byte to its first, then
// every byte is unscrambled. The template reading keeps .r1 in stored order.
TEST_F(FirmwareFilesTest, AssemblesBothReadingsOfAPair) {
    const Bytes r0 = Pattern(4000, 1), r1 = Pattern(2000, 2);
    PutPair({r0, r1});

    Bytes firmware = r0;
    firmware.insert(firmware.end(), r1.rbegin(), r1.rend());
    EXPECT_EQ(AssembleFirmwareImage(m_pair, kDspImageLimit), Scrambled(firmware));
    EXPECT_EQ(AssembleFirmwareImage(m_pair, kDspImageLimit)->at(4000), r1.back() ^ 0xB5);

    Bytes memory = r0;
    memory.insert(memory.end(), r1.begin(), r1.end());
    memory = Scrambled(memory);
    memory.resize(kTemplateSize, 0);
    EXPECT_EQ(AssembleTemplateImage(m_pair), memory);
}

TEST_F(FirmwareFilesTest, RefusesMissingUnreadableAndEmptyPairs) {
    const struct Case {
        const char* what;
        bool r0, r1;            // files present
        bool r0Dir = false;     // .r0 is a folder
        std::size_t size = 10;  // bytes in each present file
    } cases[] = {
        {"no .r0", false, true},
        {"no .r1", true, false},
        {"neither", false, false},
        {".r0 a folder", false, true, true},
        {"both empty", true, true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_pair.r0);
        fs::remove_all(m_pair.r1);
        if (c.r0) Put(m_pair.r0, Bytes(c.size, 1));
        if (c.r0Dir) fs::create_directory(m_pair.r0);
        if (c.r1) Put(m_pair.r1, Bytes(c.size, 2));
        EXPECT_FALSE(AssembleFirmwareImage(m_pair, kDspImageLimit));
        EXPECT_FALSE(AssembleTemplateImage(m_pair));
    }
}

// The pair together must fit; a file is refused from its size, before anything is read.
TEST_F(FirmwareFilesTest, RefusesPairsBeyondTheLimit) {
    const struct Case {
        std::size_t r0, r1, limit;
        bool fits;
    } cases[] = {
        {4096, 4096, kDspImageLimit, true},
        {4096, 4097, kDspImageLimit, false},
        {8193, 0, kDspImageLimit, false},
        {0, 8192, kDspImageLimit, true},
        {32768, 32763, kMcuImageLimit, true},
        {32768, 32764, kMcuImageLimit, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.r0) + " + " + std::to_string(c.r1));
        PutPair({Bytes(c.r0, 7), Bytes(c.r1, 8)});
        const auto image = AssembleFirmwareImage(m_pair, c.limit);
        EXPECT_EQ(image.has_value(), c.fits);
        if (image) {
            EXPECT_EQ(image->size(), c.r0 + c.r1);
        }
    }

    PutPair({Bytes(kTemplateSize - 1, 7), Bytes(1, 8)});
    EXPECT_TRUE(AssembleTemplateImage(m_pair));
    PutPair({Bytes(kTemplateSize - 1, 7), Bytes(2, 8)});
    EXPECT_FALSE(AssembleTemplateImage(m_pair));

    // Files that would take long or forever to read are refused all the same.
    Put(m_pair.r0, Bytes(10, 1));
    fs::resize_file(m_pair.r1, std::uintmax_t{1} << 32);  // sparse: no disk used
    EXPECT_FALSE(AssembleFirmwareImage(m_pair, kDspImageLimit));
    EXPECT_FALSE(AssembleTemplateImage(m_pair));
    fs::remove(m_pair.r1);
    fs::create_symlink("/dev/zero", m_pair.r1);
    EXPECT_FALSE(AssembleFirmwareImage(m_pair, kDspImageLimit));
    EXPECT_FALSE(AssembleTemplateImage(m_pair));
}

TEST_F(FirmwareFilesTest, SplitsAssembleBackToTheImage) {
    const struct Case {
        std::size_t size, split;
    } cases[] = {{6000, 4000}, {6000, 0}, {6000, 6000}, {6000, 9000}, {1, 1}, {40960, 32768}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " at " + std::to_string(c.split));
        const Bytes image = Pattern(c.size, static_cast<std::uint32_t>(c.split));

        const SplitImage firmware = SplitFirmwareImage(image, c.split);
        EXPECT_EQ(firmware.r0.size(), std::min(c.split, c.size));
        PutPair(firmware);
        EXPECT_EQ(AssembleFirmwareImage(m_pair, kMcuImageLimit), image);

        PutPair(SplitTemplateImage(image, c.split));
        Bytes memory = image;
        memory.resize(kTemplateSize, 0);
        EXPECT_EQ(AssembleTemplateImage(m_pair), memory);
    }
}

// The build's images: each E pair is read as firmware and as download template, and both readings
// must agree on all memory up to the end of the parameter image.
TEST(DeliveredImagesTest, BothReadingsOfTheMcuImagesAgree) {
    const fs::path data = VANTREL_BUILD_DATA_DIR;
    for (const char* name : {"E2", "E3"}) {
        SCOPED_TRACE(name);
        const FirmwarePair pair = FirmwarePairPath(data, name);
        const auto firmware = AssembleFirmwareImage(pair, kMcuImageLimit);
        const auto memory = AssembleTemplateImage(pair);
        ASSERT_TRUE(firmware && memory);
        ASSERT_GE(firmware->size(), 32768u);
        EXPECT_TRUE(std::equal(memory->begin(), memory->begin() + 32768, firmware->begin()));

        // Active setup 0, then a parameter image whose control words tell every pair of the four
        // setups apart, so a parameter block lands where the tool meant it.
        EXPECT_EQ((*memory)[20591], 0);
        std::set<std::uint32_t> words;
        for (std::size_t at = 20592 + 144; at < 32768; at += 8) {
            const std::uint32_t word = (std::uint32_t{(*memory)[at]} << 24) |
                                       (std::uint32_t{(*memory)[at + 1]} << 16) |
                                       (std::uint32_t{(*memory)[at + 2]} << 8) | (*memory)[at + 3];
            EXPECT_NE(word, 0u) << at;
            EXPECT_TRUE(words.insert(word).second) << at;
        }
        EXPECT_EQ(words.size(), 4u * 376u);
        // The identity block carries the regular family and the firmware's versions.
        EXPECT_EQ(Bytes(memory->begin() + 20730, memory->begin() + 20736),
                  (Bytes{1, 5, 1, 0, 'Q', 'V'}));
    }
    for (const char* name : {"D2", "D3"}) {
        SCOPED_TRACE(name);
        const auto image = AssembleFirmwareImage(FirmwarePairPath(data, name), kDspImageLimit);
        ASSERT_TRUE(image);
        EXPECT_EQ(std::string(image->begin(), image->begin() + 23), "VANTREL DSP PLACEHOLDER");
    }
}

}  // namespace
}  // namespace vantrel
