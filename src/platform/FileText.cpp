#include "platform/FileText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <system_error>

namespace vantrel {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// An unused name in `folder`, opened exclusively.
int CreateTemporary(const std::filesystem::path& folder, const std::string& stem,
                    std::filesystem::path& created) {
    static std::atomic<unsigned long> counter{0};
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = folder / ("." + stem + ".tmp-" + std::to_string(::getpid()) + "-" +
                            std::to_string(counter.fetch_add(1)) + "-" + std::to_string(ticks));
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

TextRead ReadTextFile(const std::filesystem::path& file, std::size_t maxBytes) {
    TextRead result;
    const std::string name = file.string();
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        result.error = "cannot read " + name + ": it is a folder";
        return result;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        result.error = "cannot read " + name;
        return result;
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > maxBytes) {
            constexpr std::size_t kMb = 1024 * 1024;
            result.error = "cannot read " + name + ": it is larger than " +
                           (maxBytes % kMb == 0 ? std::to_string(maxBytes / kMb) + " MB"
                                                : std::to_string(maxBytes) + " bytes");
            return result;
        }
    }
    if (in.bad()) {
        result.error = "cannot read " + name;
        return result;
    }
    result.text = std::move(text);
    return result;
}

bool WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = file;
    // Replace what a link points at, not the link.
    if (fs::is_symlink(fs::symlink_status(file, ec))) {
        target = fs::weakly_canonical(file, ec);
        if (ec) return false;
    }
    if (target.filename().empty()) return false;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec)) return false;

    fs::path temporary;
    const int fd = CreateTemporary(folder, target.filename().string(), temporary);
    if (fd < 0) return false;
    struct stat previous {};
    if (::stat(target.c_str(), &previous) == 0) {
        ::fchmod(fd, previous.st_mode & 07777);
    }
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace vantrel
