#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace vantrel {

// Runs one vantrel-cli command line (without the program name) and returns the exit code:
// 0 success, 1 the amplifier or the link failed, 2 a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           Clock& clock = SystemClock());

}  // namespace vantrel
