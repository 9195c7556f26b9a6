#pragma once

class QApplication;

namespace vantrel {

// Gives the standard widgets (menus, message boxes, file and selection dialogs) the skin's dark
// colours, so that none of them flashes the platform's light style over the window.
void ApplySkinPalette(QApplication& app);

// Starts the desktop tool: resolves the data folder, reads the settings and shows the window.
// Returns the process exit code.
int RunVantrelApp(int argc, char** argv);

}  // namespace vantrel
