#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "link/WorkerState.h"
#include "platform/Clock.h"

namespace vantrel {

// What the whole-configuration commands of vantrel-cli need besides their own arguments.
struct TransferContext {
    std::string host;
    std::uint32_t port = 0;
    std::filesystem::path dataFolder;  // holds INI/ and PNGRes/ (templates, firmware, catalogue)
    VersionRecord version{};           // from the settings, ChannelNum and Mode assumed 4 and 0
    Clock* clock = nullptr;
};

// download PRESET [--yes] [--model-index K] | store PRESET [--activate N] | switch N |
// firmware-update --model-index K --yes. Prints the tool's result texts in order; returns the exit
// code (0 only on success, 2 for a usage error).
int RunTransferCommand(const std::string& command, const std::vector<std::string>& args,
                       const TransferContext& context, std::ostream& out, std::ostream& err);

bool IsTransferCommand(const std::string& command);

}  // namespace vantrel
