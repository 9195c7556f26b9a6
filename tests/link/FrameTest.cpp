#include "link/Frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/Hex.h"

namespace vantrel {
namespace {

using test::Bytes;
using test::Hex;

struct Buffer {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kFrameBufferSize, 0);
    void Put(const std::string& hex, std::size_t at = 0) {
        const auto b = Bytes(hex);
        std::copy(b.begin(), b.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
};

TEST(BuildFrame, WritesTheKnownRequestsByteForByte) {
    struct Case {
        std::uint8_t command;
        const char* payload;
        const char* frame;
    } cases[] = {
        {0x03, "", "75 CA 03 00 00 BC 0B"},
        {0x09, "", "75 CA 09 00 00 B6 0B"},
        {0x07, "02", "75 CA 07 01 00 02 BB 0B"},
        {0x06, "69 50 06 00", "75 CA 06 04 00 69 50 06 00 82 0B"},
        {0x08, "F0 00", "75 CA 08 02 00 F0 00 45 0B"},
        {0x08, "F0 FF", "75 CA 08 02 00 F0 FF BA 0B"},
    };
    Buffer tx;
    for (const auto& c : cases) {
        std::fill(tx.bytes.begin(), tx.bytes.end(), 0xEE);
        const auto payload = Bytes(c.payload);
        const std::uint32_t n = BuildFrame(tx.bytes.data(), c.command, payload.data(),
                                           static_cast<std::uint16_t>(payload.size()));
        EXPECT_EQ(Hex(tx.bytes.data(), n), c.frame);
        // Everything past the frame is cleared.
        EXPECT_TRUE(std::all_of(tx.bytes.begin() + n, tx.bytes.end(), [](auto b) { return b == 0; }));
    }
}

TEST(BuildFrame, CheckByteIsTheXorOfEveryEarlierByteForLongPayloads) {
    std::vector<std::uint8_t> payload(12180);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7);
    Buffer tx;
    const std::uint32_t n =
        BuildFrame(tx.bytes.data(), 0x05, payload.data(), static_cast<std::uint16_t>(payload.size()));
    ASSERT_EQ(n, payload.size() + 7);
    std::uint8_t x = 0;
    for (std::size_t i = 0; i + 2 < n; ++i) x ^= tx.bytes[i];
    EXPECT_EQ(tx.bytes[n - 2], x);
    EXPECT_EQ(tx.bytes[3], 12180 & 0xFF);
    EXPECT_EQ(tx.bytes[4], 12180 >> 8);
}

TEST(ParseReply, AcceptsValidFramesAndSkipsWhatPrecedesThem) {
    struct Case {
        const char* name;
        const char* rx;
        std::uint8_t command;
        std::uint16_t expected;
        std::uint16_t result;
        const char* payload;
    } cases[] = {
        {"status reply", "75 CA 81 01 00 00 3F 0B", 0x81, 1, 1, "00"},
        {"stray bytes and a repeated start", "00 75 75 CA 81 01 00 00 3F 0B", 0x81, 1, 1, "00"},
        {"error reply where 8 were expected", "75 CA 83 01 00 05 38 0B", 0x83, 8, 1, "05"},
        {"identity", "75 CA 83 08 00 04 03 01 05 01 00 51 56 31 0B", 0x83, 8, 8,
         "04 03 01 05 01 00 51 56"},
        {"other command is ignored", "75 CA 84 01 00 00 3A 0B", 0x81, 1, 0, ""},
        {"wrong length is ignored", "75 CA 83 02 00 00 00 3E 0B", 0x83, 8, 0, ""},
        {"wrong end byte", "75 CA 81 01 00 00 3F 0C", 0x81, 1, 0, ""},
        {"bad end, then a good frame", "75 CA 81 01 00 00 3F 0C 75 CA 81 01 00 00 3F 0B", 0x81, 1,
         1, "00"},
        {"bad check, then a good frame", "75 CA 81 01 00 07 3F 0B 75 CA 81 01 00 00 3F 0B", 0x81, 1,
         1, "00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer rx;
        rx.Put(c.rx);
        std::uint8_t dest[16] = {};
        EXPECT_EQ(ParseReply(rx.bytes.data(), c.command, c.expected, dest), c.result);
        EXPECT_EQ(Hex(dest, c.result), c.payload);
    }
}

TEST(ParseReply, WrongCheckByteFillsTheCopiedPayloadWith0xFF) {
    Buffer rx;
    rx.Put("75 CA 81 01 00 00 3E 0B");
    std::uint8_t dest[4] = {0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(ParseReply(rx.bytes.data(), 0x81, 1, dest), 0);
    EXPECT_EQ(Hex(dest, 4), "FF 22 33 44");
}

TEST(ParseReply, NeverReadsPastTheBufferForAHeaderAtItsEnd) {
    // A header whose payload would run past the end must not match; ASan watches the reads.
    for (std::size_t at : {kFrameBufferSize - 5, kFrameBufferSize - 6, kFrameBufferSize - 9}) {
        Buffer rx;
        rx.Put("75 CA 86 FF FF", at);
        std::vector<std::uint8_t> dest(0x10000);
        EXPECT_EQ(ParseReply(rx.bytes.data(), 0x86, 0xFFFF, dest.data()), 0) << at;
    }
    Buffer rx;
    rx.Put("75 CA 81 01 00 00 3F", kFrameBufferSize - 7);  // end byte would be the 65551st
    std::uint8_t dest[1];
    EXPECT_EQ(ParseReply(rx.bytes.data(), 0x81, 1, dest), 0);
}

TEST(LocateHeader, FindsStrayOffsetAbortsOnZeroLengthAndWaitsForMore) {
    struct Case {
        const char* name;
        const char* rx;
        std::size_t received;
        HeaderSearch outcome;
        std::size_t offset;
    } cases[] = {
        {"at the start", "75 CA 86 0A 00 69 50", 7, HeaderSearch::Found, 0},
        {"after three stray bytes", "00 75 13 75 CA 86 0A 00", 8, HeaderSearch::Found, 3},
        {"length 0", "75 CA 86 00 00 3C 0B", 7, HeaderSearch::Abort, 0},
        {"other length skipped", "75 CA 86 05 00 75 CA 86 0A 00", 10, HeaderSearch::Found, 5},
        {"other command", "75 CA 81 0A 00", 5, HeaderSearch::NotFound, 0},
        {"nothing yet", "", 0, HeaderSearch::NotFound, 0},
        // A reply split inside its header is not taken for a zero-length one.
        {"length not yet arrived", "75 CA 86", 3, HeaderSearch::NotFound, 0},
        {"half the length arrived", "75 CA 86 0A", 4, HeaderSearch::NotFound, 0},
        {"complete error reply", "00 75 CA 86 01 00 05 3D 0B", 9, HeaderSearch::ShortReply, 1},
        {"error reply still arriving", "75 CA 86 01 00 05", 6, HeaderSearch::NotFound, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Buffer rx;
        rx.Put(c.rx);
        const HeaderLocation where = LocateHeader(rx.bytes.data(), 17, 0x86, c.received);
        EXPECT_EQ(where.outcome, c.outcome);
        EXPECT_EQ(where.offset, c.offset);
    }
}

TEST(LocateHeader, ScansOnlyTheExpectedLength) {
    Buffer inside, beyond;
    inside.Put("75 CA 81 09 00", 8);
    beyond.Put("75 CA 81 09 00", 16);  // starts where a 16-byte frame would already have ended
    const HeaderLocation found = LocateHeader(inside.bytes.data(), 16, 0x81);
    EXPECT_EQ(found.outcome, HeaderSearch::Found);
    EXPECT_EQ(found.offset, 8u);
    EXPECT_EQ(LocateHeader(beyond.bytes.data(), 16, 0x81).outcome, HeaderSearch::NotFound);
    // A frame as long as the whole buffer: the length field at the last byte is never read past.
    Buffer full;
    full.Put("75 CA 86", kFrameBufferSize - 3);
    EXPECT_EQ(LocateHeader(full.bytes.data(), kFrameBufferSize, 0x86).outcome,
              HeaderSearch::NotFound);
}

}  // namespace
}  // namespace vantrel
