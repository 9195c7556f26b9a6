#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace vantrel {

// Runs one vantrel-cli command line (without the program name) and returns the exit code:
// 0 success, 1 the amplifier or the link failed, 2 a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           Clock& clock = SystemClock());

// A whole argument as an unsigned number, decimal or 0x-prefixed hex, at most `max`; nothing for
// anything else (signs, blanks, trailing text).
std::optional<unsigned long> ParseCliNumber(const std::string& text, unsigned long max);

}  // namespace vantrel
