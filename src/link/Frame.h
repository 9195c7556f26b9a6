#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// Wire frame: 75 CA cmd len-lo len-hi payload... check 0B, the check byte being the XOR of every
// byte before it.
inline constexpr std::size_t kFrameBufferSize = 65550;
inline constexpr std::uint8_t kFrameStart1 = 0x75;
inline constexpr std::uint8_t kFrameStart2 = 0xCA;
inline constexpr std::uint8_t kFrameEnd = 0x0B;
inline constexpr std::size_t kFrameOverhead = 7;

// ShortReply: a complete one-byte reply (an error status) of the expected command has arrived
// where a longer reply was expected; nothing more will follow it.
enum class HeaderSearch { Found, NotFound, Abort, ShortReply };

struct HeaderLocation {
    HeaderSearch outcome = HeaderSearch::NotFound;
    std::size_t offset = 0;  // stray bytes in front of the frame when found
};

// Writes the frame into `tx` (kFrameBufferSize bytes, cleared first) and returns its length.
// `payload` may be null when `length` is 0.
std::uint32_t BuildFrame(std::uint8_t* tx, std::uint8_t command, const std::uint8_t* payload,
                         std::uint16_t length);

// Looks for the header of the expected reply (total frame length `expectedTotal`) in the first
// `expectedTotal` bytes of `rx` (kFrameBufferSize bytes). `received` is how many bytes have
// arrived so far: a length field that has not fully arrived yet is not judged, so a reply split
// inside its header is not mistaken for a zero-length one.
HeaderLocation LocateHeader(const std::uint8_t* rx, std::uint32_t expectedTotal,
                            std::uint8_t replyCommand, std::size_t received = kFrameBufferSize);

// Scans `rx` (kFrameBufferSize bytes) for a valid reply frame of `replyCommand` whose length is
// `expectedLength` or 1, copies its payload to `destination` and returns the payload length, or
// 0 when no valid frame is found. `destination` must hold max(expectedLength, 1) bytes.
std::uint16_t ParseReply(const std::uint8_t* rx, std::uint8_t replyCommand,
                         std::uint16_t expectedLength, std::uint8_t* destination);

}  // namespace vantrel
