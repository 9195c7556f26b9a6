#include "link/FirmwareFiles.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace vantrel {

namespace {

// Reads a whole file of at most `cap` bytes. Nothing when it cannot be opened, is not a regular
// file, or holds more than `cap` bytes; the size is checked first and the read itself never asks
// for more than cap + 1 bytes, so a file that grows meanwhile is still refused, not cut.
std::optional<std::vector<std::uint8_t>> ReadCapped(const std::filesystem::path& path,
                                                    std::size_t cap) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || ec) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > cap) return std::nullopt;

    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return std::nullopt;
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > cap) return std::nullopt;
    bytes.resize(got);
    return bytes;
}

void Scramble(std::vector<std::uint8_t>& bytes) {
    for (auto& b : bytes) b = static_cast<std::uint8_t>(b ^ kFirmwareKey);
}

// Reads both files of a pair within a shared budget of `limit` bytes.
std::optional<SplitImage> ReadPair(const FirmwarePair& pair, std::size_t limit) {
    auto r0 = ReadCapped(pair.r0, limit);
    if (!r0) return std::nullopt;
    auto r1 = ReadCapped(pair.r1, limit - r0->size());
    if (!r1) return std::nullopt;
    // A pair without a single byte is no image: sending it would leave the amplifier blank.
    if (r0->empty() && r1->empty()) return std::nullopt;
    return SplitImage{std::move(*r0), std::move(*r1)};
}

}  // namespace

FirmwarePair FirmwarePairPath(const std::filesystem::path& dataFolder, const std::string& name) {
    const auto folder = dataFolder / "PNGRes";
    return FirmwarePair{folder / (name + ".r0"), folder / (name + ".r1")};
}

std::optional<std::vector<std::uint8_t>> AssembleFirmwareImage(const FirmwarePair& pair,
                                                               std::size_t limit) {
    auto parts = ReadPair(pair, limit);
    if (!parts) return std::nullopt;
    std::vector<std::uint8_t> image = std::move(parts->r0);
    image.insert(image.end(), parts->r1.rbegin(), parts->r1.rend());
    Scramble(image);
    return image;
}

std::optional<std::vector<std::uint8_t>> AssembleTemplateImage(const FirmwarePair& pair) {
    auto parts = ReadPair(pair, kTemplateSize);
    if (!parts) return std::nullopt;
    std::vector<std::uint8_t> image = std::move(parts->r0);
    image.insert(image.end(), parts->r1.begin(), parts->r1.end());
    Scramble(image);
    image.resize(kTemplateSize, 0);
    return image;
}

SplitImage SplitFirmwareImage(const std::vector<std::uint8_t>& image, std::size_t split) {
    split = std::min(split, image.size());
    const auto middle = image.begin() + static_cast<std::ptrdiff_t>(split);
    SplitImage out{{image.begin(), middle}, {image.rbegin(), std::make_reverse_iterator(middle)}};
    Scramble(out.r0);
    Scramble(out.r1);
    return out;
}

SplitImage SplitTemplateImage(const std::vector<std::uint8_t>& image, std::size_t split) {
    split = std::min(split, image.size());
    const auto middle = image.begin() + static_cast<std::ptrdiff_t>(split);
    SplitImage out{{image.begin(), middle}, {middle, image.end()}};
    Scramble(out.r0);
    Scramble(out.r1);
    return out;
}

}  // namespace vantrel
