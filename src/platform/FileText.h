#pragma once

// Whole small files: read with a size limit, written by an atomic replace.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

struct TextRead {
    std::optional<std::string> text;  // the whole file, or nothing
    std::string error;                // why not, naming the file: "cannot read X: ..."
};

// The whole file when it holds at most `maxBytes`. Reading stops as soon as more has come, so a
// device or a pipe that never ends cannot fill the memory.
TextRead ReadTextFile(const std::filesystem::path& file, std::size_t maxBytes);

// Replaces `file` with `bytes` in one step: the bytes go into a new file beside it, which is
// flushed and renamed over the old one, keeping its permissions; a link is followed. False, and
// the old file untouched, when any step fails.
bool WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes);

}  // namespace vantrel
