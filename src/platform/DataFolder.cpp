#include "platform/DataFolder.h"

#include <cstdlib>
#include <system_error>
#include <utility>

namespace vantrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kIniFolder = "INI";
constexpr const char* kAppFolder = "vantrel";

bool HoldsIni(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder / kIniFolder, ec);
}

void SetError(std::string* error, std::string text) {
    if (error != nullptr) *error = std::move(text);
}

std::optional<fs::path> UserDataFolder(const DataFolderOptions& options) {
    // XDG: a relative XDG_DATA_HOME is invalid and is ignored.
    if (options.xdgDataHome && !options.xdgDataHome->empty()) {
        const fs::path base(*options.xdgDataHome);
        if (base.is_absolute()) return base / kAppFolder;
    }
    if (options.home && !options.home->empty()) {
        return fs::path(*options.home) / ".local" / "share" / kAppFolder;
    }
    return std::nullopt;
}

// Copies every directory and regular file of `from` that `to` lacks; never overwrites.
bool CopyMissing(const fs::path& from, const fs::path& to, std::string& failure) {
    std::error_code ec;
    fs::recursive_directory_iterator it(from, ec);
    if (ec) {
        failure = "cannot read " + from.string() + ": " + ec.message();
        return false;
    }
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        const fs::path relative = it->path().lexically_relative(from);
        const fs::path destination = to / relative;
        std::error_code entryEc;
        if (it->is_directory(entryEc)) {
            if (!fs::is_directory(destination, entryEc)) {
                fs::create_directory(destination, entryEc);
                if (entryEc) {
                    failure = "cannot create " + destination.string() + ": " + entryEc.message();
                    return false;
                }
            }
        } else if (it->is_regular_file(entryEc)) {
            if (fs::exists(fs::symlink_status(destination, entryEc))) continue;
            fs::copy_file(it->path(), destination, fs::copy_options::skip_existing, entryEc);
            if (entryEc) {
                failure = "cannot copy " + it->path().string() + " to " + destination.string() +
                          ": " + entryEc.message();
                return false;
            }
        }
    }
    if (ec) {
        failure = "cannot read " + from.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

std::optional<fs::path> ResolveDataFolder(const DataFolderOptions& options, std::string* error) {
    if (options.explicitDir) {
        if (options.explicitDir->empty()) {
            SetError(error, "the data folder given is an empty path");
            return std::nullopt;
        }
        if (options.explicitDir->is_relative() && !options.workingDir.empty()) {
            return options.workingDir / *options.explicitDir;
        }
        return *options.explicitDir;
    }

    if (!options.workingDir.empty() && HoldsIni(options.workingDir)) return options.workingDir;

    const std::optional<fs::path> user = UserDataFolder(options);
    if (!user) {
        SetError(error,
                 "no data folder: the working directory holds no INI folder and neither "
                 "XDG_DATA_HOME nor HOME is set (use --data-dir DIR)");
        return std::nullopt;
    }

    const fs::path* seed = nullptr;
    for (const fs::path& candidate : options.seedDirs) {
        if (HoldsIni(candidate)) {
            seed = &candidate;
            break;
        }
    }

    std::error_code ec;
    if (seed != nullptr) {
        fs::create_directories(*user, ec);
        if (ec) {
            SetError(error,
                     "cannot create the data folder " + user->string() + ": " + ec.message());
            return std::nullopt;
        }
        std::string failure;
        if (!CopyMissing(*seed, *user, failure)) {
            SetError(error, "cannot fill the data folder " + user->string() + ": " + failure);
            return std::nullopt;
        }
    }

    if (HoldsIni(*user)) return *user;

    std::string looked;
    for (const fs::path& candidate : options.seedDirs) {
        looked += (looked.empty() ? "" : ", ") + candidate.string();
    }
    SetError(error,
             "no data folder: " + user->string() +
                 " holds no INI folder and no shipped copy was found to fill it (looked in: " +
                 (looked.empty() ? std::string("nothing") : looked) + "; use --data-dir DIR)");
    return std::nullopt;
}

fs::path ExecutableDir() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

std::optional<fs::path> FindExistingDataFolder(const DataFolderOptions& options) {
    if (options.explicitDir) return options.workingDir / *options.explicitDir;
    std::vector<fs::path> candidates{options.workingDir};
    if (auto user = UserDataFolder(options)) candidates.push_back(*user);
    candidates.insert(candidates.end(), options.seedDirs.begin(), options.seedDirs.end());
    for (const fs::path& folder : candidates) {
        if (HoldsIni(folder)) return folder;
    }
    return std::nullopt;
}

std::vector<fs::path> DefaultSeedDirs(const fs::path& exeDir) {
    if (exeDir.empty()) return {};
    const fs::path prefix = exeDir.parent_path();
    return {prefix / "data", prefix / "share" / kAppFolder};
}

DataFolderOptions DataFolderOptionsFromEnvironment(std::optional<fs::path> explicitDir) {
    DataFolderOptions options;
    options.explicitDir = std::move(explicitDir);
    std::error_code ec;
    options.workingDir = fs::current_path(ec);
    if (const char* xdg = std::getenv("XDG_DATA_HOME")) options.xdgDataHome = xdg;
    if (const char* home = std::getenv("HOME")) options.home = home;
    options.seedDirs = DefaultSeedDirs(ExecutableDir());
    return options;
}

}  // namespace vantrel
