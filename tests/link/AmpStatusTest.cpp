#include "link/AmpStatus.h"

#include <gtest/gtest.h>

#include "support/Hex.h"

namespace vantrel {
namespace {

TEST(AmpStatus, DecodesAndFormatsTheStatusDisplay) {
    struct Case {
        const char* reply;
        const char* volts;
        const char* temperature;
        const char* running;
        bool protection;
    } cases[] = {
        // 1234 minutes cannot be sent in 10-minute units; 123 units read 1230.
        {"7C 80 00 00 00 00 00 7B", "12.4 V", "0 C", "1230 m", false},  // negative reading
        {"7C 64 01 00 00 00 00 7B", "12.4 V", "45 C", "1230 m", true},
        {"00 00 00 00 00 00 00 00", "0.0 V", "0 C", "0 m", false},
        {"FF 7F 02 00 00 01 00 00", "25.5 V", "54 C", "655360 m", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        const auto bytes = test::Bytes(c.reply);
        const StatusRecord status = DecodeStatus(bytes.data());
        EXPECT_EQ(FormatVoltage(status), c.volts);
        EXPECT_EQ(FormatTemperature(status), c.temperature);
        EXPECT_EQ(FormatRunningTime(status), c.running);
        EXPECT_EQ(status.protection != 0, c.protection);
    }
}

TEST(AmpStatus, TemperatureStaysFiniteOverEveryReading) {
    for (int raw = 0; raw < 256; ++raw) {
        const int t = TemperatureCelsius(static_cast<std::uint8_t>(raw));
        EXPECT_GE(t, -273) << raw;
        EXPECT_LE(t, 300) << raw;
    }
}

TEST(AmpStatus, DecodesTheIdentityBytesInOrder) {
    const auto bytes = test::Bytes("01 07 01 05 02 03 47 4D");
    const IdentityRecord id = DecodeIdentity(bytes.data());
    EXPECT_EQ(id.channelNum, 1);
    EXPECT_EQ(id.modelCode, 7);
    EXPECT_EQ(id.mcuMain, 1);
    EXPECT_EQ(id.mcuSub, 5);
    EXPECT_EQ(id.dspMain, 2);
    EXPECT_EQ(id.dspSub, 3);
    EXPECT_EQ(id.family[0], 'G');
    EXPECT_EQ(id.family[1], 'M');
}

}  // namespace
}  // namespace vantrel
