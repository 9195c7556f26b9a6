#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vantrel {

// export PRESET SETUP CHANNEL rew|apo [OUTFILE] | export PRESET SETUP camilladsp [OUTFILE] |
// import PRESET SETUP CHANNEL FILE [--into points|bands] [--format rew|apo] |
// response PRESET SETUP CHANNEL [--points N]
// SETUP 0..3 and CHANNEL 0..5, as load-setup and set-level count them. Works on preset files only,
// never on the amplifier. Returns the exit code: 0 success, 1 a file could not be read or written
// or nothing in it was usable, 2 a usage error.
int RunExchangeCommand(const std::string& command, const std::vector<std::string>& args,
                       std::ostream& out, std::ostream& err);

bool IsExchangeCommand(const std::string& command);

}  // namespace vantrel
