#pragma once

namespace vantrel {

// Starts the desktop tool: resolves the data folder, reads the settings and shows the window.
// Returns the process exit code.
int RunVantrelApp(int argc, char** argv);

}  // namespace vantrel
