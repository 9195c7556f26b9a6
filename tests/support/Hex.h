#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vantrel::test {

// "75 CA 03" -> {0x75, 0xCA, 0x03}; blanks between pairs are optional.
inline std::vector<std::uint8_t> Bytes(const std::string& hex) {
    std::vector<std::uint8_t> out;
    int high = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

inline std::string Hex(const std::uint8_t* bytes, std::size_t count) {
    std::string out;
    char pair[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, i ? " %02X" : "%02X", bytes[i]);
        out += pair;
    }
    return out;
}

inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    return Hex(bytes.data(), bytes.size());
}

}  // namespace vantrel::test
