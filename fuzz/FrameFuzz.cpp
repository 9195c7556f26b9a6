// Feeds arbitrary bytes to the reply parser and the header search, as a hostile adaptor would.
#include <cstdint>
#include <cstring>
#include <vector>

#include "link/Frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::vector<std::uint8_t> rx(vantrel::kFrameBufferSize);
    static std::vector<std::uint8_t> destination(0x10000);
    if (size < 3) return 0;
    // The first three bytes choose what the caller expects; the rest is the received stream,
    // placed at the end of the buffer half the time so frames run into its edge.
    const std::uint8_t reply = data[0];
    const auto expected = static_cast<std::uint16_t>(data[1] | (data[2] << 8));
    data += 3;
    size -= 3;
    if (size > rx.size()) size = rx.size();
    std::memset(rx.data(), 0, rx.size());
    const std::size_t at = (reply & 1) ? rx.size() - size : 0;
    std::memcpy(rx.data() + at, data, size);

    const std::uint16_t length = vantrel::ParseReply(rx.data(), reply, expected, destination.data());
    if (length != 0 && length != expected && length != 1) __builtin_trap();
    for (std::uint32_t total : {std::uint32_t{expected} + 7u, std::uint32_t(vantrel::kFrameBufferSize),
                                std::uint32_t(size)}) {
        const auto where = vantrel::LocateHeader(rx.data(), total, reply, at + size);
        if (where.outcome == vantrel::HeaderSearch::Found && where.offset >= total) __builtin_trap();
    }
    return 0;
}
