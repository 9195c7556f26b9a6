// Imports arbitrary bytes as an EQ file in both formats, into both targets and both modes, and
// checks that the channel keeps every limit; then that exporting the result and importing it back
// gives the same channel without a message.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ModelChecks.h"
#include "model/ParameterModel.h"
#include "model/TuneExchange.h"

namespace {

using namespace vantrel;

bool SameChannel(const ChannelRecord& a, const ChannelRecord& b) {
    std::array<SetupRecord, kSetupCount> x{}, y{};
    x[0].Channels[0] = a;
    y[0].Channels[0] = b;
    return SameAmplifierTune(x, y, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    GuessEqFileFormat(text);
    for (const EqFileFormat format : {EqFileFormat::Rew, EqFileFormat::Apo}) {
        for (const EqImportTarget target : {EqImportTarget::Points, EqImportTarget::Bands}) {
            for (const std::uint8_t mode : {std::uint8_t{0}, std::uint8_t{2}}) {
                const EqImport r = ImportChannelEq(text, format, ChannelRecord{}, target, mode);
                fuzz::CheckChannel(r.channel);
                const std::string exported = ExportChannelEq(r.channel, format, text.substr(0, 40));
                const EqImport back = ImportChannelEq(exported, format, r.channel, target, mode);
                fuzz::Check(back.messages.empty());
                fuzz::Check(SameChannel(back.channel, r.channel));
            }
        }
    }
    SetupRecord setup;
    setup.Channels[0] = ImportChannelEq(text, EqFileFormat::Apo, ChannelRecord{},
                                        EqImportTarget::Points, 0)
                            .channel;
    ExportCamillaDsp(setup, kChannelCount, text.substr(0, 40));
    return 0;
}
