#include "link/Frame.h"

#include <cstring>

namespace vantrel {

std::uint32_t BuildFrame(std::uint8_t* tx, std::uint8_t command, const std::uint8_t* payload,
                         std::uint16_t length) {
    std::memset(tx, 0, kFrameBufferSize);
    const auto lo = static_cast<std::uint8_t>(length & 0xFF);
    const auto hi = static_cast<std::uint8_t>(length >> 8);
    tx[0] = kFrameStart1;
    tx[1] = kFrameStart2;
    tx[2] = command;
    tx[3] = lo;
    tx[4] = hi;
    std::uint8_t check = hi ^ lo ^ command ^ (kFrameStart1 ^ kFrameStart2);
    for (std::size_t i = 0; i < length; ++i) {
        tx[5 + i] = payload[i];
        check ^= payload[i];
    }
    tx[5 + length] = check;
    tx[6 + length] = kFrameEnd;
    return static_cast<std::uint32_t>(length + kFrameOverhead);
}

HeaderLocation LocateHeader(const std::uint8_t* rx, std::uint32_t expectedTotal,
                            std::uint8_t replyCommand, std::size_t received) {
    const std::size_t end = expectedTotal < kFrameBufferSize ? expectedTotal : kFrameBufferSize;
    const std::size_t arrived = received < kFrameBufferSize ? received : kFrameBufferSize;
    int state = 0;
    std::size_t i = 0;
    while (i < end) {
        const std::uint8_t b = rx[i];
        switch (state) {
            case 0:
                if (b == kFrameStart1) state = 1;
                ++i;
                break;
            case 1:
                if (b == kFrameStart2) {
                    state = 2;
                    ++i;
                } else {
                    state = 0;
                }
                break;
            case 2:
                if (b == replyCommand) {
                    state = 3;
                    ++i;
                } else {
                    state = 0;
                }
                break;
            default: {
                // Both length bytes must be inside the buffer and already received.
                if (i + 1 >= kFrameBufferSize || i + 2 > arrived) return {HeaderSearch::NotFound, 0};
                const std::uint32_t len = rx[i] + 256u * rx[i + 1];
                if (expectedTotal >= kFrameOverhead && len == expectedTotal - kFrameOverhead) {
                    return {HeaderSearch::Found, i - 3};
                }
                if (len == 0) return {HeaderSearch::Abort, 0};
                // An error reply carries only its status byte; waiting for the length we asked
                // for would only run into the time-out.
                if (len == 1 && i + 5 <= arrived) return {HeaderSearch::ShortReply, i - 3};
                state = 0;  // re-examine the low length byte as a possible start
                break;
            }
        }
    }
    return {HeaderSearch::NotFound, 0};
}

std::uint16_t ParseReply(const std::uint8_t* rx, std::uint8_t replyCommand,
                         std::uint16_t expectedLength, std::uint8_t* destination) {
    enum { S0, S1, S2, S3, S4, S5, S6 } state = S0;
    std::uint8_t x = 0;
    std::size_t len = 0;
    std::size_t i = 0;
    while (i < kFrameBufferSize) {
        const std::uint8_t b = rx[i];
        switch (state) {
            case S0:
                if (b == kFrameStart1) {
                    x = kFrameStart1;
                    state = S1;
                } else {
                    x = 0;
                }
                ++i;
                break;
            case S1:
                if (b == kFrameStart2) {
                    x ^= b;
                    state = S2;
                    ++i;
                } else {
                    state = S0;
                    x = 0;
                }
                break;
            case S2:
                if (b == replyCommand) {
                    x ^= b;
                    state = S3;
                    ++i;
                } else {
                    state = S0;
                    x = 0;
                }
                break;
            case S3: {
                bool match = false;
                if (i + 1 < kFrameBufferSize) {
                    len = rx[i] + 256u * rx[i + 1];
                    // Payload, check and end byte must all lie inside the buffer.
                    match = (len == expectedLength || len == 1) && i + 2 + len + 2 <= kFrameBufferSize;
                }
                if (match) {
                    x ^= rx[i];
                    x ^= rx[i + 1];
                    state = S4;
                    i += 2;
                } else {
                    state = S0;
                    x = 0;
                }
                break;
            }
            case S4:
                for (std::size_t k = 0; k < len; ++k) {
                    destination[k] = rx[i + k];
                    x ^= rx[i + k];
                }
                i += len;
                state = S5;
                break;
            case S5:
                if (b == x) {
                    state = S6;
                    ++i;
                } else {
                    std::memset(destination, 0xFF, len);
                    state = S0;
                    x = 0;
                }
                break;
            case S6:
                if (b == kFrameEnd) return static_cast<std::uint16_t>(len);
                state = S0;
                x = 0;
                ++i;
                break;
        }
    }
    return 0;
}

}  // namespace vantrel
