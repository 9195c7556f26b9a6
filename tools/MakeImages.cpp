// vantrel-make-images OUTDIR [SOURCE_DATA_DIR]
//
// Writes the image files a data folder needs into OUTDIR/PNGRes: the MCU memory images E2 (regular
// amplifiers) and E3 (bass amplifiers), which also serve as the setup-download template, and
// placeholder DSP programs D2 and D3. The real images come from the amplifier maker; these let the
// virtual amplifier and the demo work end to end.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "link/FirmwareFiles.h"
#include "model/DeviceCatalogue.h"
#include "model/DeviceImage.h"
#include "sim/VirtualAmplifier.h"
#include "sim/VirtualTemplate.h"

namespace {

using vantrel::SplitImage;
namespace fs = std::filesystem;

// The MCU image is written to the amplifier in one memory write, so it must stay within
// kMcuImageLimit. 40960 bytes covers the parameter memory (up to 32767) with room for code after.
constexpr std::size_t kMcuImageSize = 40960;
static_assert(kMcuImageSize <= vantrel::kMcuImageLimit);
// The same E files are read twice: as a firmware image (.r1 reversed) and as the download template
// (.r1 in stored order). Splitting after the parameter memory makes both readings agree on every
// byte the download uses; only the code behind it differs, and the template ignores that.
constexpr std::size_t kMcuSplit = 32768;
static_assert(kMcuSplit >= vantrel::kDeviceImageAddress + vantrel::kDeviceImageSize);
static_assert(kMcuSplit <= kMcuImageSize);

constexpr std::size_t kDspImageSize = 6144;
constexpr std::size_t kDspSplit = 4096;
static_assert(kDspImageSize <= vantrel::kDspImageLimit);

// Where the identity block sits in the MCU image (parameter image byte 136): the update overwrites
// it with the chosen model's identity, and the amplifier reports it afterwards.
constexpr std::size_t kIdentityBlockAddress =
    vantrel::kDeviceImageAddress + vantrel::kModelCodeOffset - 1;

// The firmware these files stand for: MCU 1.5, DSP 1.0, regular family.
constexpr std::uint8_t kMcuMain = 1, kMcuSub = 5, kDspMain = 1, kDspSub = 0;

struct AmplifierKind {
    std::uint8_t channels;
    std::uint8_t modelCode;
};

// Deterministic filler, so a rebuild writes the same files.
class Filler {
public:
    explicit Filler(std::uint32_t seed) : m_state(seed | 1u) {}
    std::uint8_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return static_cast<std::uint8_t>(m_state >> 24);
    }

private:
    std::uint32_t m_state;
};

void FillPlaceholder(std::vector<std::uint8_t>& image, std::size_t from, std::size_t to,
                     const std::string& header, std::uint32_t seed) {
    Filler filler(seed);
    for (std::size_t i = from; i < to; ++i) {
        const std::size_t h = i - from;
        image[i] = h < header.size() ? static_cast<std::uint8_t>(header[h]) : filler.Next();
    }
}

std::vector<std::uint8_t> McuImage(const AmplifierKind& kind, const std::string& line,
                                   std::uint32_t seed) {
    const std::vector<std::uint8_t> memory = vantrel::sim::BuildVirtualTemplate(kind.modelCode);
    std::vector<std::uint8_t> image(memory.begin(),
                                    memory.begin() + static_cast<std::ptrdiff_t>(kMcuImageSize));
    const std::string header = "VANTREL MCU PLACEHOLDER " + line;
    FillPlaceholder(image, 0, vantrel::sim::kNoiseKillerAddress, header, seed);
    FillPlaceholder(image, kMcuSplit, kMcuImageSize, header, seed + 1);
    const std::uint8_t identity[8] = {kind.channels, kind.modelCode, kMcuMain, kMcuSub,
                                      kDspMain,      kDspSub,        'Q',      'V'};
    std::copy(std::begin(identity), std::end(identity),
              image.begin() + static_cast<std::ptrdiff_t>(kIdentityBlockAddress));
    return image;
}

std::vector<std::uint8_t> DspImage(const std::string& line, std::uint32_t seed) {
    std::vector<std::uint8_t> image(kDspImageSize);
    FillPlaceholder(image, 0, image.size(), "VANTREL DSP PLACEHOLDER " + line, seed);
    return image;
}

// Replaces the file whole, so an interrupted run never leaves half an image behind.
bool WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    fs::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "vantrel-make-images: cannot write %s\n", temporary.c_str());
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        std::fprintf(stderr, "vantrel-make-images: cannot write %s: %s\n", path.c_str(),
                     ec.message().c_str());
        return false;
    }
    return true;
}

bool WritePair(const fs::path& dataFolder, const std::string& name, const SplitImage& parts) {
    const vantrel::FirmwarePair pair = vantrel::FirmwarePairPath(dataFolder, name);
    return WriteFile(pair.r0, parts.r0) && WriteFile(pair.r1, parts.r1);
}

// The regular image is for model code 3 (a four-channel class D amplifier); the bass image for the
// first bass amplifier of the catalogue. Without a catalogue the codes of the shipped one are used.
void KindsFromCatalogue(const fs::path& sourceData, AmplifierKind& regular, AmplifierKind& bass) {
    const auto catalogue = vantrel::LoadDeviceCatalogue(sourceData / vantrel::kCatalogueFile);
    if (!catalogue) {
        std::fprintf(stderr, "vantrel-make-images: no catalogue in %s, using built-in codes\n",
                     sourceData.c_str());
        return;
    }
    if (const auto index = vantrel::FindCatalogueEntry(*catalogue, regular.modelCode)) {
        regular.channels = vantrel::EntryChannelNum(catalogue->Entries[*index]);
    }
    for (const vantrel::DeviceModelEntry& entry : catalogue->Entries) {
        if (entry.Type == vantrel::kBassAmplifierType) {
            bass.modelCode = static_cast<std::uint8_t>(entry.ModelCode & 0xFF);
            bass.channels = vantrel::EntryChannelNum(entry);
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: vantrel-make-images OUTDIR [SOURCE_DATA_DIR]\n");
        return 2;
    }
    const fs::path outDir = argv[1];
    AmplifierKind regular{4, 3};
    AmplifierKind bass{1, 4};  // part number 5 of the shipped catalogue, a mono bass amplifier
    if (argc == 3) KindsFromCatalogue(argv[2], regular, bass);

    std::error_code ec;
    fs::create_directories(outDir / "PNGRes", ec);
    if (ec) {
        std::fprintf(stderr, "vantrel-make-images: cannot create %s: %s\n",
                     (outDir / "PNGRes").c_str(), ec.message().c_str());
        return 1;
    }

    const bool ok =
        WritePair(outDir, "E2",
                  vantrel::SplitFirmwareImage(McuImage(regular, "line 2", 0xE2E2), kMcuSplit)) &&
        WritePair(outDir, "E3",
                  vantrel::SplitFirmwareImage(McuImage(bass, "bass", 0xE3E3), kMcuSplit)) &&
        WritePair(outDir, "D2",
                  vantrel::SplitFirmwareImage(DspImage("line 2", 0xD2D2), kDspSplit)) &&
        WritePair(outDir, "D3", vantrel::SplitFirmwareImage(DspImage("line 3", 0xD3D3), kDspSplit));
    return ok ? 0 : 1;
}
