#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantrel::test {

// A folder of its own under the system's temporary folder, removed with all it holds when the
// object goes. mkdtemp makes the name unique, so test processes running side by side never share
// one.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "vantrel-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder " + pattern);
        }
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return m_path / name;
    }

    // Writes `bytes` as the file `name` in the folder; returns its path.
    std::filesystem::path Put(const std::filesystem::path& name, std::string_view bytes) const {
        const std::filesystem::path file = m_path / name;
        std::ofstream(file, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

private:
    std::filesystem::path m_path;
};

}  // namespace vantrel::test
