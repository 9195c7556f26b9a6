// Converts arbitrary bytes as a device image read from the amplifier into setups, then takes them
// over into the window's model, and checks that every value is one the program can handle. The
// first two bytes choose the reported channel code and the window's model; the rest, repeated,
// fills the image, so that a short input still reaches every channel of every setup.
#include <cstddef>
#include <cstdint>

#include "ModelChecks.h"
#include "model/DeviceCatalogue.h"
#include "model/DeviceImage.h"
#include "model/ParameterModel.h"
#include "model/SetupTransfer.h"

namespace {

using namespace vantrel;

constexpr std::uint8_t kChannelNums[] = {1, 2, 4, 6};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::uint8_t channelCode = data[0];
    const std::uint8_t choice = data[1];
    data += 2;
    size -= 2;
    static DeviceImage image;
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = data[i % size];

    ParameterModel window;
    InitSetups(window);
    window.ChannelNum = kChannelNums[choice & 3];
    window.Mode = (choice & 4) != 0 ? 2 : 0;
    SetupArray worker = window.Setups;
    DownloadConversion(image, channelCode, worker);
    const int covered = TransferChannelCount(channelCode);
    fuzz::Check(covered >= 0 && covered <= 4);
    for (const SetupRecord& setup : worker) {
        for (const ChannelRecord& ch : setup.Channels) fuzz::CheckChannel(ch);
    }

    const std::uint8_t noiseKiller = (choice & 8) != 0 ? 255 : 0;
    const auto activeSetup = static_cast<std::uint8_t>(choice >> 4);
    TakeOverSetups(window, worker, image, noiseKiller, activeSetup, DeviceCatalogue{});
    fuzz::CheckModel(window);
    return 0;
}
