#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantrel {

// Private-profile ("INI") files, read and written the way the Windows profile functions do it, so
// that files written on Windows keep working and files we write stay readable there.
//
// Reading: section and key names match without regard to ASCII case (and without surrounding
// blanks); the first occurrence of a duplicated section or key wins; a line whose first non-blank
// character is ';' is a comment; blanks around names and values are dropped and one pair of
// matching surrounding quotes (' or ") is stripped from a value. A reader hands over a buffer of
// `bufferChars` UTF-16 characters, so at most bufferChars - 1 of them come back; a character is
// never split. Text is UTF-8; a leading UTF-8 byte order mark is skipped and kept on rewrite.
// Lines end in LF, CRLF or a lone CR.
//
// Writing: every other line keeps its bytes and its line end; a changed or new line is written as
// "Key=value" with CRLF. An existing key keeps its spelling; a new key goes after the last key of
// its section (before the blank and comment lines that end it); a new section goes at the end of
// the file. The file is replaced atomically (temporary file in the same folder, fsync, rename). A
// missing file is created, but a missing folder is not: the write fails instead.

inline constexpr std::size_t kIniDefaultBufferChars = 256;
// Numbers are read as text into a buffer of this size and then converted.
inline constexpr std::size_t kIniNumberBufferChars = 32;
// Files larger than this are treated as unreadable rather than loaded.
inline constexpr std::size_t kIniMaxFileBytes = 64u * 1024u * 1024u;

// `text` cut to at most bufferChars - 1 UTF-16 characters (nothing when bufferChars is 0 or 1).
// A byte that is not valid UTF-8 counts as one character.
std::string CutToBuffer(std::string_view text, std::size_t bufferChars);

// `text` as UTF-16 characters; a byte that is not valid UTF-8 becomes the character of that value.
std::u16string Utf16FromStored(std::string_view text);

// Base-10 conversion like wcstol: leading blanks, optional sign, digits up to the first non-digit;
// no digits gives 0, values beyond the range of long clamp to LONG_MIN / LONG_MAX.
long ParseIniLong(std::string_view text);

// Conversion like wcstod in the "C" locale (whatever the process locale is); text that does not
// start with a number gives 0.
double ParseIniReal(std::string_view text);
// The number `text` starts with (blanks first allowed); nothing when it starts with none.
std::optional<double> ParseLeadingReal(std::string_view text);

// A stored path ("INI\Default.dat", ".//INI//InitFile.dat") as a path of this system, with
// backslashes as separators and lexically normalised ("INI/Default.dat", "INI/InitFile.dat").
std::filesystem::path PathFromStored(std::string_view stored);

// A whole INI file in memory: parse once, look up many keys, edit many keys, write once.
class IniDocument {
public:
    IniDocument() = default;

    static IniDocument Parse(std::string_view bytes);
    // Nothing when the file is missing or cannot be read.
    static std::optional<IniDocument> Load(const std::filesystem::path& file);
    // An empty document when the file is missing; nothing when it exists but cannot be read (so a
    // later save never replaces a file we could not see).
    static std::optional<IniDocument> LoadForEdit(const std::filesystem::path& file);

    // The value as stored (blanks and one pair of quotes removed, not cut), or nothing when the
    // section or key is missing.
    std::optional<std::string> FindValue(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                          std::size_t bufferChars = kIniDefaultBufferChars) const;
    // `def` when the key is missing; otherwise its text (cut to kIniNumberBufferChars) converted.
    long GetInt(std::string_view section, std::string_view key, long def) const;
    double GetReal(std::string_view section, std::string_view key, double def) const;

    // Names in file order, first spelling of each, no duplicates.
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(std::string_view section) const;

    // False, changing nothing, when the names or the value cannot be stored so that they read
    // back: an empty section or key, a section with ']', a key with '=' or starting with ';' or
    // '[', or a line break anywhere.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);

    std::string Serialize() const;
    // Writes Serialize() over `file` atomically; false when the folder is missing or unwritable.
    bool SaveAtomic(const std::filesystem::path& file) const;

private:
    enum class LineKind { Other, Blank, Comment, Section, Key };

    struct Line {
        std::string text;    // without its line end
        std::string ending;  // "\r\n", "\n", "\r", or "" for a last line without one
        LineKind kind = LineKind::Other;
        std::string name;   // section or key name, trimmed
        std::string value;  // key value, trimmed and unquoted
    };

    // A header line and everything up to the next header. New keys go right after the last key,
    // so inserting one never moves an indexed line.
    struct Section {
        std::vector<Line> lines;                            // lines[0] is the header
        std::unordered_map<std::string, std::size_t> keys;  // folded key name -> first key line
        std::size_t lastKey = 0;                            // last key (or header) line
    };

    static Line MakeLine(std::string text, std::string ending);
    void AddLine(Line line);
    const Section* FindSection(std::string_view section) const;
    const Line* FindKeyLine(std::string_view section, std::string_view key) const;
    Line& LastLine();

    bool m_bom = false;
    std::vector<Line> m_preamble;  // lines before the first header
    std::vector<Section> m_sections;
    std::unordered_map<std::string, std::size_t> m_sectionIndex;  // folded name -> first section
};

// Single operations that go straight to the file every time, like the Windows calls they replace.
// A missing or unreadable file reads as empty.
std::string ReadIniString(const std::filesystem::path& file, std::string_view section,
                          std::string_view key, std::string_view def,
                          std::size_t bufferChars = kIniDefaultBufferChars);
long ReadIniInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
                long def);
double ReadIniReal(const std::filesystem::path& file, std::string_view section,
                   std::string_view key, double def);
bool WriteIniString(const std::filesystem::path& file, std::string_view section,
                    std::string_view key, std::string_view value);

}  // namespace vantrel
