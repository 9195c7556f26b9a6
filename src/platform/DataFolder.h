#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vantrel {

// Where the data folder (the one holding INI/) may come from. The environment is passed in as
// values so that callers, and tests, decide what it is.
struct DataFolderOptions {
    std::optional<std::filesystem::path> explicitDir;  // --data-dir DIR
    std::filesystem::path workingDir;
    std::optional<std::string> xdgDataHome;  // $XDG_DATA_HOME, when set
    std::optional<std::string> home;         // $HOME, when set
    // Read-only copies shipped with the program, best first; the first that holds INI/ seeds the
    // user's folder.
    std::vector<std::filesystem::path> seedDirs;
};

// The data folder to use:
//  1. the explicit directory, as given (relative to the working directory), whatever it holds;
//  2. the working directory when it holds INI/;
//  3. $XDG_DATA_HOME/vantrel (an absolute XDG_DATA_HOME only) or else $HOME/.local/share/vantrel,
//     created when missing; every file of the seed that it lacks is copied in, so a first start
//     gets a complete folder and a later version can add files, but the user's files are never
//     overwritten.
// Nothing, with the reason in `error`, when none of these gives a folder holding INI/.
std::optional<std::filesystem::path> ResolveDataFolder(const DataFolderOptions& options,
                                                       std::string* error = nullptr);

// The folder ResolveDataFolder would choose, as far as it exists already, without creating or
// seeding anything: for readers such as the command-line client. The explicit directory as given;
// else the first of the working directory, the user's folder and the seeds that holds INI/.
std::optional<std::filesystem::path> FindExistingDataFolder(const DataFolderOptions& options);

// The folder of the running program (from /proc/self/exe), or an empty path when unknown.
std::filesystem::path ExecutableDir();

// The shipped copies for a program in `exeDir`: <exeDir>/../data (the build tree, or a
// self-contained install) and <exeDir>/../share/vantrel (an install prefix).
std::vector<std::filesystem::path> DefaultSeedDirs(const std::filesystem::path& exeDir);

// Options filled from the real process: current directory, XDG_DATA_HOME, HOME and the seeds
// beside this executable.
DataFolderOptions DataFolderOptionsFromEnvironment(
    std::optional<std::filesystem::path> explicitDir);

}  // namespace vantrel
