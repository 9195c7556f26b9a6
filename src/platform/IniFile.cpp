#include "platform/IniFile.h"

#include "platform/FileText.h"

#include <fcntl.h>
#include <locale.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <system_error>
#include <utility>

namespace vantrel {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view Unquote(std::string_view s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        return s.substr(1, s.size() - 2);
    }
    return s;
}

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0u) == 0x80u; }

// Decodes the UTF-8 sequence at s[i]; `length` gets its byte count. An invalid byte decodes to
// its own value with length 1, so every input makes progress.
char32_t DecodeAt(std::string_view s, std::size_t i, std::size_t& length) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char b0 = at(0);
    length = 1;
    if (b0 < 0x80u) return b0;
    const std::size_t left = s.size() - i;
    if (b0 >= 0xC2u && b0 <= 0xDFu && left >= 2 && IsContinuation(at(1))) {
        length = 2;
        return static_cast<char32_t>(((b0 & 0x1Fu) << 6) | (at(1) & 0x3Fu));
    }
    if (b0 >= 0xE0u && b0 <= 0xEFu && left >= 3) {
        const unsigned char lo = b0 == 0xE0u ? 0xA0u : 0x80u;  // no overlong forms
        const unsigned char hi = b0 == 0xEDu ? 0x9Fu : 0xBFu;  // no surrogates
        if (at(1) >= lo && at(1) <= hi && IsContinuation(at(2))) {
            length = 3;
            return static_cast<char32_t>(((b0 & 0x0Fu) << 12) | ((at(1) & 0x3Fu) << 6) |
                                         (at(2) & 0x3Fu));
        }
    }
    if (b0 >= 0xF0u && b0 <= 0xF4u && left >= 4) {
        const unsigned char lo = b0 == 0xF0u ? 0x90u : 0x80u;
        const unsigned char hi = b0 == 0xF4u ? 0x8Fu : 0xBFu;
        if (at(1) >= lo && at(1) <= hi && IsContinuation(at(2)) && IsContinuation(at(3))) {
            length = 4;
            return static_cast<char32_t>(((b0 & 0x07u) << 18) | ((at(1) & 0x3Fu) << 12) |
                                         ((at(2) & 0x3Fu) << 6) | (at(3) & 0x3Fu));
        }
    }
    return b0;
}

enum class ReadOutcome { Ok, Missing, Unreadable };

ReadOutcome ReadWholeFile(const std::filesystem::path& file, std::string& out) {
    out.clear();
    // Non-blocking, so that a FIFO without a writer is refused below instead of hanging here.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? ReadOutcome::Missing
                                                     : ReadOutcome::Unreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > kIniMaxFileBytes) {
        ::close(fd);
        return ReadOutcome::Unreadable;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return ReadOutcome::Unreadable;
        }
        // The file may have grown since fstat.
        if (out.size() + static_cast<std::size_t>(n) > kIniMaxFileBytes) {
            ::close(fd);
            return ReadOutcome::Unreadable;
        }
        out.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadOutcome::Ok;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::string CutToBuffer(std::string_view text, std::size_t bufferChars) {
    if (bufferChars <= 1) return {};
    const std::size_t room = bufferChars - 1;
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t length = 0;
        const char32_t c = DecodeAt(text, i, length);
        const std::size_t need = c > 0xFFFFu ? 2 : 1;
        if (units + need > room) break;
        units += need;
        i += length;
    }
    return std::string(text.substr(0, i));
}

std::u16string Utf16FromStored(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t length = 0;
        const char32_t c = DecodeAt(text, i, length);
        if (c > 0xFFFFu) {
            const char32_t v = c - 0x10000u;
            out.push_back(static_cast<char16_t>(0xD800u + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00u + (v & 0x3FFu)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

long ParseIniLong(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const unsigned long limit =
        negative ? static_cast<unsigned long>(LONG_MAX) + 1u : static_cast<unsigned long>(LONG_MAX);
    unsigned long magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<unsigned long>(text[i] - '0');
        if (overflow || magnitude > (limit - digit) / 10u) {
            overflow = true;
        } else {
            magnitude = magnitude * 10u + digit;
        }
    }
    if (overflow) return negative ? LONG_MIN : LONG_MAX;
    if (!negative) return static_cast<long>(magnitude);
    if (magnitude == static_cast<unsigned long>(LONG_MAX) + 1u) return LONG_MIN;
    return -static_cast<long>(magnitude);
}

std::optional<double> ParseLeadingReal(std::string_view text) {
    // strtod needs a terminated string and follows the process locale; strtod_l with a private
    // "C" locale keeps '.' the decimal point whatever the user's locale says.
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string terminated(text);
    char* end = nullptr;
    const double value = cLocale != locale_t{} ? ::strtod_l(terminated.c_str(), &end, cLocale)
                                               : std::strtod(terminated.c_str(), &end);
    if (end == terminated.c_str()) return std::nullopt;
    return value;
}

double ParseIniReal(std::string_view text) { return ParseLeadingReal(text).value_or(0.0); }

std::filesystem::path PathFromStored(std::string_view stored) {
    std::string text(stored);
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    if (text.empty()) return {};
    return std::filesystem::path(text).lexically_normal();
}

// ---- IniDocument ----

IniDocument::Line IniDocument::MakeLine(std::string text, std::string ending) {
    Line line;
    line.text = std::move(text);
    line.ending = std::move(ending);
    const std::string_view t = Trim(line.text);
    if (t.empty()) {
        line.kind = LineKind::Blank;
    } else if (t.front() == ';') {
        line.kind = LineKind::Comment;
    } else if (t.front() == '[') {
        line.kind = LineKind::Section;
        std::string_view name = t.substr(1);
        name = name.substr(0, name.find(']'));
        line.name = std::string(Trim(name));
    } else if (const std::size_t eq = t.find('='); eq != std::string_view::npos) {
        line.kind = LineKind::Key;
        line.name = std::string(Trim(t.substr(0, eq)));
        line.value = std::string(Unquote(Trim(t.substr(eq + 1))));
    }
    return line;
}

void IniDocument::AddLine(Line line) {
    if (line.kind == LineKind::Section) {
        m_sectionIndex.try_emplace(Fold(line.name), m_sections.size());
        m_sections.emplace_back();
        m_sections.back().lines.push_back(std::move(line));
        return;
    }
    if (m_sections.empty()) {
        m_preamble.push_back(std::move(line));
        return;
    }
    Section& section = m_sections.back();
    const std::size_t index = section.lines.size();
    if (line.kind == LineKind::Key) section.keys.try_emplace(Fold(line.name), index);
    // A line without '=' is a key without a value to Windows: new keys go after it too.
    if (line.kind == LineKind::Key || line.kind == LineKind::Other) section.lastKey = index;
    section.lines.push_back(std::move(line));
}

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument doc;
    if (bytes.substr(0, kBom.size()) == kBom) {
        doc.m_bom = true;
        bytes.remove_prefix(kBom.size());
    }
    while (!bytes.empty()) {
        const std::size_t brk = bytes.find_first_of("\r\n");
        if (brk == std::string_view::npos) {
            doc.AddLine(MakeLine(std::string(bytes), {}));
            break;
        }
        const std::size_t endLength =
            (bytes[brk] == '\r' && brk + 1 < bytes.size() && bytes[brk + 1] == '\n') ? 2 : 1;
        doc.AddLine(
            MakeLine(std::string(bytes.substr(0, brk)), std::string(bytes.substr(brk, endLength))));
        bytes.remove_prefix(brk + endLength);
    }
    return doc;
}

std::optional<IniDocument> IniDocument::Load(const std::filesystem::path& file) {
    std::string bytes;
    if (ReadWholeFile(file, bytes) != ReadOutcome::Ok) return std::nullopt;
    return Parse(bytes);
}

std::optional<IniDocument> IniDocument::LoadForEdit(const std::filesystem::path& file) {
    std::string bytes;
    switch (ReadWholeFile(file, bytes)) {
        case ReadOutcome::Ok:
            return Parse(bytes);
        case ReadOutcome::Missing:
            return IniDocument{};
        case ReadOutcome::Unreadable:
            break;
    }
    return std::nullopt;
}

const IniDocument::Section* IniDocument::FindSection(std::string_view section) const {
    const auto it = m_sectionIndex.find(Fold(Trim(section)));
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

const IniDocument::Line* IniDocument::FindKeyLine(std::string_view section,
                                                  std::string_view key) const {
    const Section* found = FindSection(section);
    if (found == nullptr) return nullptr;
    const auto it = found->keys.find(Fold(Trim(key)));
    return it == found->keys.end() ? nullptr : &found->lines[it->second];
}

std::optional<std::string> IniDocument::FindValue(std::string_view section,
                                                  std::string_view key) const {
    const Line* line = FindKeyLine(section, key);
    if (line == nullptr) return std::nullopt;
    return line->value;
}

std::string IniDocument::GetString(std::string_view section, std::string_view key,
                                   std::string_view def, std::size_t bufferChars) const {
    const Line* line = FindKeyLine(section, key);
    return CutToBuffer(line != nullptr ? std::string_view(line->value) : def, bufferChars);
}

long IniDocument::GetInt(std::string_view section, std::string_view key, long def) const {
    const Line* line = FindKeyLine(section, key);
    if (line == nullptr) return def;
    return ParseIniLong(CutToBuffer(line->value, kIniNumberBufferChars));
}

double IniDocument::GetReal(std::string_view section, std::string_view key, double def) const {
    const Line* line = FindKeyLine(section, key);
    if (line == nullptr) return def;
    return ParseIniReal(CutToBuffer(line->value, kIniNumberBufferChars));
}

std::vector<std::string> IniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < m_sections.size(); ++i) {
        const std::string& name = m_sections[i].lines.front().name;
        // Only the first section of each name is reachable.
        if (m_sectionIndex.at(Fold(name)) == i) names.push_back(name);
    }
    return names;
}

std::vector<std::string> IniDocument::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    const Section* found = FindSection(section);
    if (found == nullptr) return names;
    for (std::size_t i = 0; i < found->lines.size(); ++i) {
        const Line& line = found->lines[i];
        if (line.kind != LineKind::Key || line.name.empty()) continue;
        if (found->keys.at(Fold(line.name)) == i) names.push_back(line.name);
    }
    return names;
}

IniDocument::Line& IniDocument::LastLine() {
    return m_sections.empty() ? m_preamble.back() : m_sections.back().lines.back();
}

bool IniDocument::SetString(std::string_view section, std::string_view key,
                            std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || section.find(']') != std::string_view::npos || HasLineBreak(section)) {
        return false;
    }
    if (key.empty() || key.find('=') != std::string_view::npos || key.front() == ';' ||
        key.front() == '[' || HasLineBreak(key) || HasLineBreak(value)) {
        return false;
    }

    const auto sectionIt = m_sectionIndex.find(Fold(section));
    if (sectionIt == m_sectionIndex.end()) {
        // Only the last line of the file can lack a line end.
        if (!m_preamble.empty() || !m_sections.empty()) {
            Line& last = LastLine();
            if (last.ending.empty()) last.ending = kCrLf;
        }
        AddLine(MakeLine("[" + std::string(section) + "]", std::string(kCrLf)));
        AddLine(MakeLine(std::string(key) + "=" + std::string(value), std::string(kCrLf)));
        return true;
    }

    Section& target = m_sections[sectionIt->second];
    const auto keyIt = target.keys.find(Fold(key));
    if (keyIt != target.keys.end()) {
        Line& line = target.lines[keyIt->second];
        line = MakeLine(line.name + "=" + std::string(value), std::string(kCrLf));
        return true;
    }
    const std::size_t at = target.lastKey + 1;
    if (target.lines[target.lastKey].ending.empty()) target.lines[target.lastKey].ending = kCrLf;
    target.lines.insert(target.lines.begin() + static_cast<std::ptrdiff_t>(at),
                        MakeLine(std::string(key) + "=" + std::string(value), std::string(kCrLf)));
    target.keys.emplace(Fold(key), at);
    target.lastKey = at;
    return true;
}

std::string IniDocument::Serialize() const {
    std::string out;
    if (m_bom) out += kBom;
    const auto append = [&out](const Line& line) {
        out += line.text;
        out += line.ending;
    };
    for (const Line& line : m_preamble) append(line);
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) append(line);
    }
    return out;
}

bool IniDocument::SaveAtomic(const std::filesystem::path& file) const {
    return WriteFileAtomic(file, Serialize());
}

// ---- single operations ----

std::string ReadIniString(const std::filesystem::path& file, std::string_view section,
                          std::string_view key, std::string_view def, std::size_t bufferChars) {
    const std::optional<IniDocument> doc = IniDocument::Load(file);
    if (!doc) return CutToBuffer(def, bufferChars);
    return doc->GetString(section, key, def, bufferChars);
}

long ReadIniInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
                long def) {
    const std::optional<IniDocument> doc = IniDocument::Load(file);
    return doc ? doc->GetInt(section, key, def) : def;
}

double ReadIniReal(const std::filesystem::path& file, std::string_view section,
                   std::string_view key, double def) {
    const std::optional<IniDocument> doc = IniDocument::Load(file);
    return doc ? doc->GetReal(section, key, def) : def;
}

bool WriteIniString(const std::filesystem::path& file, std::string_view section,
                    std::string_view key, std::string_view value) {
    std::optional<IniDocument> doc = IniDocument::LoadForEdit(file);
    return doc && doc->SetString(section, key, value) && doc->SaveAtomic(file);
}

}  // namespace vantrel
