// Writes arbitrary bytes as a pair of delivered image files and assembles them as a firmware image
// and as a download template: each either comes out exactly as the format says, within its limit,
// or not at all. The first bytes choose where the bytes split between ".r0" and ".r1", the
// firmware limit, and whether ".r1" is there.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "link/FirmwareFiles.h"

namespace {

using namespace vantrel;
using Bytes = std::vector<std::uint8_t>;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// One folder for the whole run, removed at exit.
struct ScratchFolder {
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantrel-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) __builtin_trap();
        path = pattern;
        std::filesystem::create_directories(path / "PNGRes");
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

const std::filesystem::path& Folder() {
    static const ScratchFolder folder;
    return folder.path;
}

void Write(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

Bytes Unscrambled(const Bytes& bytes) {
    Bytes out = bytes;
    for (auto& b : out) b = static_cast<std::uint8_t>(b ^ kFirmwareKey);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::size_t splitChoice = data[0] | (data[1] << 8);
    const std::uint8_t choice = data[2];
    data += 3;
    size -= 3;
    const std::size_t split = splitChoice % (size + 1);
    const Bytes r0(data, data + split);
    const Bytes r1(data + split, data + size);
    const bool withR1 = (choice & 0x80) == 0;
    const std::size_t limits[] = {0, 1, size / 2, size, kDspImageLimit, kMcuImageLimit};
    const std::size_t limit = limits[(choice & 0x7F) % std::size(limits)];

    const FirmwarePair pair = FirmwarePairPath(Folder(), "F");
    Write(pair.r0, r0);
    std::error_code ec;
    std::filesystem::remove(pair.r1, ec);
    if (withR1) Write(pair.r1, r1);

    const bool readable = withR1 && size > 0;
    const auto firmware = AssembleFirmwareImage(pair, limit);
    Check(firmware.has_value() == (readable && size <= limit));
    if (firmware) {
        // ".r0" in order, then ".r1" backwards, unscrambled; and split back into the same files.
        Bytes expected = Unscrambled(r0);
        const Bytes tail = Unscrambled(r1);
        expected.insert(expected.end(), tail.rbegin(), tail.rend());
        Check(*firmware == expected);
        const SplitImage again = SplitFirmwareImage(*firmware, r0.size());
        Check(again.r0 == r0 && again.r1 == r1);
    }

    const auto memory = AssembleTemplateImage(pair);
    Check(memory.has_value() == (readable && size <= kTemplateSize));
    if (memory) {
        Check(memory->size() == kTemplateSize);
        Bytes expected = Unscrambled(r0);
        const Bytes tail = Unscrambled(r1);
        expected.insert(expected.end(), tail.begin(), tail.end());
        expected.resize(kTemplateSize, 0);
        Check(*memory == expected);
    }
    return 0;
}
