#include <gtest/gtest.h>

#include <clocale>
#include <optional>
#include <string>
#include <vector>

#include "model/Scales.h"
#include "model/TuneExchange.h"

namespace vantrel {
namespace {

bool SameChannel(const ChannelRecord& a, const ChannelRecord& b) {
    std::array<SetupRecord, kSetupCount> x{}, y{};
    x[0].Channels[0] = a;
    y[0].Channels[0] = b;
    return SameAmplifierTune(x, y, 1);
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Each expected text is the start of one message, in order, and there are no others.
void ExpectMessages(const EqImport& result, const std::vector<std::string>& starts) {
    ASSERT_EQ(result.messages.size(), starts.size()) << Joined(result.messages);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(result.messages[i].rfind(starts[i], 0), 0u) << "wanted \"" << starts[i] << "\"\n"
                                                              << Joined(result.messages);
    }
}

void ExpectPoint(const EqPoint& p, double freq, double gain, double q) {
    EXPECT_EQ(p.Freq, QuantizeEqFreq(freq));
    EXPECT_EQ(p.Gain, QuantizeEqGain(gain));
    EXPECT_EQ(p.Q, QuantizeQ(q));
    EXPECT_EQ(p.Bypass, 0);
}

TEST(TuneExchangeTest, FilterLinesAreReadWhateverTheirSpacingAndDecimalMark) {
    struct Case {
        const char* name;
        EqFileFormat format;
        std::string text;
        std::vector<std::string> messages;
    } cases[] = {
        {"header and padding",
         EqFileFormat::Rew,
         "Filter Settings file\n\nRoom EQ V5.20\nDated: 11-Dec-2026 10:00:00\nNotes: door open\n"
         "Equaliser: Generic\nAverage 1; Filter: at the start\n\n"
         "Filter  1: ON  PK       Fc   1000 Hz  Gain  -3.0 dB  Q  3.00\n"
         "Filter  2: ON  None\n",
         {}},
        {"tabs, CRLF, decimal commas",
         EqFileFormat::Rew,
         "Filter\t1:\tON\tPK\tFc\t1000,0\tHz\tGain\t-3,0\tdB\tQ\t3,00\r\n",
         {}},
        {"digit groups and units on the numbers",
         EqFileFormat::Apo,
         "Filter: ON PK Fc 1 000 Hz Gain -3dB Q 3\n",
         {}},
        {"bandwidth in octaves",
         EqFileFormat::Apo,
         "\xEF\xBB\xBF# made by hand\nFilter 1: ON PEQ Fc 1000Hz Gain -3 dB BW Oct 0.4787\n",
         {}},
        {"what is skipped",
         EqFileFormat::Rew,
         "Filter  1: ON  PK       Fc   1000 Hz  Gain  -3.0 dB  Q  3.00\n"
         "Filter  2: OFF PK       Fc    500 Hz  Gain   2.0 dB  Q  1.00\n"
         "Filter  3: ON  LS       Fc    100 Hz  Gain   3.0 dB  Q  0.71\n"
         "Filter  4: ON  PK       Fc    abc Hz  Gain   1.0 dB  Q  1.00\n"
         "Filter  5: ON  PK       Fc    200 Hz  Gain   1.0 dB\n"
         "Filter  6: ON  PK       Fc    nan Hz  Gain   1.0 dB  Q  1.00\n"
         "Filter  7: ON  PK       Fc     -5 Hz  Gain   1.0 dB  Q  1.00\n"
         "Filter  8: ON  PK       Fc    200 Hz  Gain   1.0 dB  Q  0\n"
         "Filter  9: PK\n"
         "Filter 10: ON\n",
         {"Filter 2: OFF, skipped", "Filter 3: type LS is not supported",
          "Filter 4: Fc 'abc' is not a number", "Filter 5: no Q", "Filter 6: Fc 'nan' is not",
          "Filter 7: Fc -5 Hz is no frequency", "Filter 8: Q 0 is no quality",
          "Filter 9: neither ON nor OFF", "Filter 10: no filter type"}},
        {"other commands",
         EqFileFormat::Apo,
         "Device: Speakers\nChannel: L\nInclude: more.txt\nthis is no command\n"
         "Filter: ON PK Fc 1000 Hz Gain -3 dB Q 3\nCopy: L=R\n",
         {"Line 1: Device: ignored", "Line 2: Channel: ignored", "Line 3: Include: ignored",
          "Line 4: not a command", "Line 6: Copy: ignored"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EqImport r =
            ImportChannelEq(c.text, c.format, ChannelRecord{}, EqImportTarget::Points, 0);
        EXPECT_EQ(r.applied, 1);
        ExpectMessages(r, c.messages);
        ExpectPoint(r.channel.CustomEQ[0], 1000.0, -3.0, 3.0);
    }
}

TEST(TuneExchangeTest, ValuesAreLimitedToTheAmplifierRangesWithAMessageEach) {
    struct Case {
        std::string line;
        EqPoint point;
        std::vector<std::string> messages;
    } cases[] = {
        {"Filter 3: ON PK Fc 1e9 Hz Gain 40 dB Q 25",
         {kMaxFreq, 6.0f, 24.0f, 0},
         {"Filter 3: Fc 1e+09 Hz limited to 20893 Hz (custom point range 16..20893 Hz)",
          "Filter 3: gain 40 dB limited to 6 dB (custom point range -24..+6 dB)",
          "Filter 3: Q 25 limited to 24 (Q range 0.4..24)"}},
        {"Filter 3: ON PK Fc 1e999 Hz Gain -1e999 dB Q 0.1",
         {kMaxFreq, -24.0f, 0.4f, 0},
         {"Filter 3: Fc 1e+308 Hz limited to 20893 Hz", "Filter 3: gain -1e+308 dB limited to -24",
          "Filter 3: Q 0.1 limited to 0.4"}},
        {"Filter 3: ON PK Fc 3 Hz Gain 0 dB Q 1",
         {kMinFreq, 0.0f, 1.0f, 0},
         {"Filter 3: Fc 3 Hz limited to 16 Hz"}},
        // 65 Hz lies between the steps of 63.1 and 66.1 Hz; 0.46 between Q 0.4 and 0.5.
        {"Filter 3: ON PK Fc 65 Hz Gain -2.04 dB Q 0.46",
         {QuantizeEqFreq(65), -2.0f, 0.5f, 0},
         {"Filter 3: Fc 65 Hz rounded to 66.0693 Hz (custom point steps of 1/50 decade)",
          "Filter 3: Q 0.46 rounded to 0.5 (Q steps of 0.1)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const EqImport r =
            ImportChannelEq(c.line, EqFileFormat::Apo, ChannelRecord{}, EqImportTarget::Points, 0);
        ExpectMessages(r, c.messages);
        const EqPoint& p = r.channel.CustomEQ[0];
        EXPECT_EQ(p.Freq, c.point.Freq);
        EXPECT_EQ(p.Gain, c.point.Gain);
        EXPECT_FLOAT_EQ(p.Q, c.point.Q);
    }
}

TEST(TuneExchangeTest, FilesWithNothingUsableChangeNothing) {
    ChannelRecord start;
    start.CustomEQ[2].Gain = 4.0f;
    start.HighPassOn = 1;
    for (const char* text : {"", "\n\n", "Filter Settings file\nNotes: none\n",
                             "Filter 1: OFF PK Fc 100 Hz Gain 1 dB Q 1\n"}) {
        SCOPED_TRACE(text);
        for (const EqFileFormat format : {EqFileFormat::Rew, EqFileFormat::Apo}) {
            const EqImport r = ImportChannelEq(text, format, start, EqImportTarget::Bands, 0);
            EXPECT_EQ(r.applied, 0);
            ASSERT_FALSE(r.messages.empty());
            EXPECT_EQ(r.messages.back(), "Nothing in the file could be used");
            EXPECT_TRUE(SameChannel(r.channel, start));
        }
    }
}

TEST(TuneExchangeTest, TheFourStrongestPeaksTakeThePointsThatAreNotBypassed) {
    const std::string text =
        "Filter 1: ON PK Fc 100 Hz Gain -1 dB Q 1\n"
        "Filter 2: ON PK Fc 200 Hz Gain 5 dB Q 2\n"
        "Filter 3: ON PK Fc 300 Hz Gain -6 dB Q 3\n"
        "Filter 4: ON PK Fc 400 Hz Gain 2 dB Q 4\n"
        "Filter 5: ON PK Fc 500 Hz Gain 2 dB Q 5\n"
        "Filter 6: ON PK Fc 600 Hz Gain -3 dB Q 6\n";
    ChannelRecord start;
    start.EQBand[5].Gain = 2.0f;
    const EqImport r = ImportChannelEq(text, EqFileFormat::Rew, start, EqImportTarget::Points, 0);
    EXPECT_EQ(r.applied, 4);
    // Filters 4 and 5 tie; the earlier one stays.
    ExpectMessages(r, {"Filter 1 (PK 100 Hz, -1 dB) dropped: only the four strongest",
                       "Filter 5 (PK 500 Hz, 2 dB) dropped"});
    ExpectPoint(r.channel.CustomEQ[0], 200, 5, 2);
    ExpectPoint(r.channel.CustomEQ[1], 300, -6, 3);
    ExpectPoint(r.channel.CustomEQ[2], 400, 2, 4);
    ExpectPoint(r.channel.CustomEQ[3], 600, -3, 6);
    EXPECT_EQ(r.channel.EQBand[5].Gain, 2.0f) << "the bands are not the target";

    // Point 2 bypassed: two filters go to points 1 and 3, point 4 is silenced, point 2 stays as
    // it was; a third filter would switch point 2 on.
    ChannelRecord bypassed;
    for (EqPoint& p : bypassed.CustomEQ) p.Gain = 3.0f;
    bypassed.CustomEQ[1] = {777.0f, -7.0f, 7.0f, 1};
    const std::string two =
        "Filter 1: ON PK Fc 100 Hz Gain -1 dB Q 1\n"
        "Filter 2: ON PK Fc 200 Hz Gain 5 dB Q 2\n";
    const EqImport b = ImportChannelEq(two, EqFileFormat::Apo, bypassed, EqImportTarget::Points, 0);
    ExpectMessages(b, {});
    ExpectPoint(b.channel.CustomEQ[0], 100, -1, 1);
    EXPECT_EQ(b.channel.CustomEQ[1].Freq, 777.0f);
    EXPECT_EQ(b.channel.CustomEQ[1].Bypass, 1);
    ExpectPoint(b.channel.CustomEQ[2], 200, 5, 2);
    EXPECT_EQ(b.channel.CustomEQ[3].Gain, 0.0f);
    const EqImport four =
        ImportChannelEq(text, EqFileFormat::Apo, bypassed, EqImportTarget::Points, 0);
    ExpectPoint(four.channel.CustomEQ[1], 600, -3, 6);
}

TEST(TuneExchangeTest, PeaksGoToTheNearestBandAndAreSummedThere) {
    ChannelRecord start;
    start.EQBand[20].Gain = 4.0f;    // 4000 Hz: no filter lands there, so it goes back to 0
    start.CustomEQ[0].Gain = -2.0f;  // points are not the target
    const std::string text =
        "Filter 1: ON PK Fc 1000 Hz Gain -3 dB Q 3\n"
        "Filter 2: ON PK Fc 1100 Hz Gain -2.5 dB Q 3.5\n"  // nearer 1000 than 1250
        "Filter 3: ON PK Fc 1130 Hz Gain 1 dB Q 3\n"       // nearer 1250
        "Filter 4: ON PK Fc 20 Hz Gain 2 dB Q 3\n"
        "Filter 5: ON PK Fc 5000 Hz Gain 1.5 dB Q 0.7\n"
        "Filter 6: ON PK Fc 125 Hz Gain -10 dB Q 3\n"
        "Filter 7: ON PK Fc 125 Hz Gain -8 dB Q 3\n"
        "Filter 8: ON PK Fc 16000 Hz Gain 4 dB Q 3\n"
        "Filter 9: ON PK Fc 16000 Hz Gain 4 dB Q 3\n";
    const EqImport r = ImportChannelEq(text, EqFileFormat::Rew, start, EqImportTarget::Bands, 0);
    EXPECT_EQ(r.applied, 9);
    ExpectMessages(r, {"Filter 4: Fc 20 Hz is outside the bands (40..16000 Hz); added to band 1",
                       "Filter 5: Q 0.7 differs from the bands' fixed Q 3; added to band 22",
                       "Band 6 (125 Hz): -18 dB from the filters limited to -15 dB",
                       "Band 27 (16000 Hz): 8 dB from the filters limited to 6 dB"});
    std::array<float, kEqBandCount> expected{};
    expected[14] = -5.5f;
    expected[15] = 1.0f;
    expected[0] = 2.0f;
    expected[21] = 1.5f;
    expected[5] = -15.0f;
    expected[26] = 6.0f;
    for (int b = 0; b < kEqBandCount; ++b) {
        EXPECT_EQ(r.channel.EQBand[b].Gain, expected[b]) << "band " << b + 1;
        EXPECT_EQ(r.channel.EQBand[b].Q, 3.0f);
    }
    EXPECT_EQ(r.channel.CustomEQ[0].Gain, -2.0f);
}

TEST(TuneExchangeTest, HighAndLowPassSectionsBecomeTheChannelsCrossovers) {
    struct Case {
        const char* name;
        std::string text;
        std::uint8_t mode;
        std::uint8_t hpSlope;  // 0: high-pass left off
        double hpFreq;
        std::uint8_t lpSlope;
        double lpFreq;
        std::vector<std::string> messages;
    } cases[] = {
        {"second order",
         "Filter 1: ON HP Fc 80 Hz\nFilter 2: ON LP Fc 5000 Hz\n",
         0,
         12,
         80,
         12,
         5000,
         {}},
        {"fourth order from two sections with two-decimal Qs",
         "Filter 1: ON HPQ Fc 80 Hz Q 1.31\nFilter 2: ON HPQ Fc 80,2 Hz Q 0,54\n",
         0,
         24,
         80,
         0,
         0,
         {}},
        {"sixth and eighth order",
         "Filter 1: ON LPQ Fc 2000 Hz Q 0.5176\nFilter 2: ON LPQ Fc 2000 Hz Q 0.7071\n"
         "Filter 3: ON LPQ Fc 2000 Hz Q 1.9319\nFilter 4: ON HPQ Fc 40 Hz Q 0.5098\n"
         "Filter 5: ON HPQ Fc 40 Hz Q 0.6013\nFilter 6: ON HPQ Fc 40 Hz Q 0.9000\n"
         "Filter 7: ON HPQ Fc 40 Hz Q 2.5629\n",
         0,
         48,
         40,
         36,
         2000,
         {}},
        {"first order",
         "Filter 1: ON HP1 Fc 100 Hz\nFilter 2: ON LP1 Fc 100 Hz\n",
         0,
         6,
         100,
         6,
         100,
         {}},
        {"third order goes to the next steeper slope",
         "Filter 1: ON HPQ Fc 100 Hz Q 1.0\nFilter 2: ON HP1 Fc 100 Hz\n",
         0,
         24,
         100,
         0,
         0,
         {"Filter 1: 18 dB/oct high-pass set to 24 dB/oct"}},
        {"a Q that is not Butterworth",
         "Filter 1: ON LPQ Fc 3000 Hz Q 0.5\n",
         0,
         0,
         0,
         12,
         3000,
         {"Filter 1: Q 0.5 taken as a 12 dB/oct low-pass with the Butterworth Q 0.71"}},
        {"sections that make no Butterworth filter",
         "Filter 1: ON HPQ Fc 80 Hz Q 0.54\nFilter 2: ON HPQ Fc 80 Hz Q 0.9\n",
         0,
         12,
         80,
         0,
         0,
         {"Filter 1: the high-pass sections at 80 Hz do not make a Butterworth filter; kept this "
          "one, dropped Filter 2"}},
        {"a second high-pass",
         "Filter 1: ON HP Fc 80 Hz\nFilter 2: ON HP Fc 200 Hz\n",
         0,
         12,
         80,
         0,
         0,
         {"Filter 2: a further high-pass at 200 Hz dropped"}},
        {"bass mode limit",
         "Filter 1: ON LP Fc 5000 Hz\n",
         2,
         0,
         0,
         12,
         5000,
         {"Filter 1: Fc 5000 Hz limited to 302 Hz (crossover range 16..302 Hz in bass mode)"}},
    };
    ChannelRecord start;
    start.CustomEQ[1].Gain = -4.0f;
    start.EQBand[3].Gain = 1.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const EqImportTarget target : {EqImportTarget::Points, EqImportTarget::Bands}) {
            const EqImport r = ImportChannelEq(c.text, EqFileFormat::Apo, start, target, c.mode);
            ExpectMessages(r, c.messages);
            const ChannelRecord& ch = r.channel;
            EXPECT_EQ(ch.HighPassOn, c.hpSlope != 0);
            EXPECT_EQ(ch.LowPassOn, c.lpSlope != 0);
            if (c.hpSlope != 0) {
                EXPECT_EQ(ch.HighPassSlope, c.hpSlope);
                EXPECT_EQ(ch.HighPassFreq, QuantizeCrossoverFreq(c.hpFreq, c.mode));
            }
            if (c.lpSlope != 0) {
                EXPECT_EQ(ch.LowPassSlope, c.lpSlope);
                EXPECT_EQ(ch.LowPassFreq, QuantizeCrossoverFreq(c.lpFreq, c.mode));
            }
            // Without peaking filters the EQ stays.
            EXPECT_EQ(ch.CustomEQ[1].Gain, -4.0f);
            EXPECT_EQ(ch.EQBand[3].Gain, 1.0f);
        }
    }
}

TEST(TuneExchangeTest, PreampAndDelayGoToTheDelaySection) {
    struct Case {
        std::string text;
        bool wasOn;
        float trim, delay;
        std::vector<std::string> messages;
    } cases[] = {
        {"Preamp: -6.5 dB\nPreamp: -1 dB\n", false, 7.5f, 0.0f, {"Delay section switched on"}},
        {"Delay: 1.5 ms\nDelay: 72 samples\n",
         true,
         2.0f,
         1.5f,
         {"Line 2: Delay 72 samples ignored: only ms can be taken over"}},
        {"Preamp: 3 dB\nDelay: 40ms\n",
         true,
         0.0f,
         20.0f,
         {"Preamp: gain 3 dB limited to 0 dB (trim range -30..0 dB: the amplifier only attenuates)",
          "Delay: delay 40 ms limited to 20 ms (delay range 0..20 ms)"}},
        {"Preamp: -45 dB\nPreamp: loud\n",
         true,
         30.0f,
         0.5f,
         {"Line 2: Preamp without a number", "Preamp: gain -45 dB limited to -30 dB"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ChannelRecord start;
        start.DelayOn = c.wasOn ? 1 : 0;
        start.Trim = 2.0f;
        start.DelayTime = 0.5f;
        const EqImport r =
            ImportChannelEq(c.text, EqFileFormat::Apo, start, EqImportTarget::Points, 0);
        ExpectMessages(r, c.messages);
        EXPECT_EQ(r.channel.DelayOn, 1);
        EXPECT_FLOAT_EQ(r.channel.Trim, c.trim);
        EXPECT_FLOAT_EQ(r.channel.DelayTime, c.delay);
    }
}

// A channel as an installer leaves it: crossovers, points (one bypassed), bands, delay section.
ChannelRecord TunedChannel() {
    ChannelRecord ch;
    ch.HighPassOn = 1;
    ch.HighPassFreq = QuantizeCrossoverFreq(63, 0);
    ch.HighPassSlope = 24;
    ch.LowPassOn = 1;
    // A frequency typed beyond the range is held as the limit itself, off the grid.
    ch.LowPassFreq = QuantizeCrossoverFreq(1e6, 0);
    ch.LowPassSlope = 36;
    ch.DelayOn = 1;
    ch.DelayTime = QuantizeDelayTime(1.24);
    ch.Trim = QuantizeTrim(-4.5);
    ch.CustomEQ[0] = {QuantizeEqFreq(16), QuantizeEqGain(-24), QuantizeQ(0.4), 0};
    ch.CustomEQ[1] = {QuantizeEqFreq(500), QuantizeEqGain(3.5), QuantizeQ(2.5), 1};
    ch.CustomEQ[2] = {QuantizeEqFreq(20893), QuantizeEqGain(0), QuantizeQ(3), 0};
    ch.CustomEQ[3] = {QuantizeEqFreq(1e6), QuantizeEqGain(6), QuantizeQ(24), 0};
    return ch;
}

// Changes every value the file carries into the target, so a round trip has to restore each.
ChannelRecord Scrambled(ChannelRecord ch, EqImportTarget target, bool delaySection) {
    ch.HighPassFreq = 1000.0f;
    ch.HighPassSlope = 6;
    ch.LowPassFreq = 8000.0f;
    ch.LowPassSlope = 12;
    for (EqPoint& p : ch.CustomEQ) {
        if (p.Bypass == 0 && target == EqImportTarget::Points) p = {1000.0f, -1.0f, 1.0f, 0};
    }
    for (EqPoint& b : ch.EQBand) {
        if (target == EqImportTarget::Bands) b.Gain = -1.0f;
    }
    if (delaySection) {
        ch.DelayTime = 9.0f;
        ch.Trim = 20.0f;
    }
    return ch;
}

// A locale with a decimal comma, where one is installed, to show the files never take it.
class CommaLocale {
public:
    CommaLocale() : m_old(std::setlocale(LC_ALL, nullptr)) {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) break;
        }
    }
    ~CommaLocale() { std::setlocale(LC_ALL, m_old.c_str()); }

private:
    std::string m_old;
};

TEST(TuneExchangeTest, ExportedChannelsImportBackUnchanged) {
    const CommaLocale comma;
    ChannelRecord points = TunedChannel();
    ChannelRecord bands = TunedChannel();
    for (EqPoint& p : bands.CustomEQ) p.Bypass = 1;
    bands.EQBand[0].Gain = -15.0f;
    bands.EQBand[13].Gain = 2.5f;
    bands.EQBand[26].Gain = 6.0f;
    struct Case {
        const char* name;
        ChannelRecord channel;
        EqImportTarget target;
    } cases[] = {{"points", points, EqImportTarget::Points},
                 {"bands", bands, EqImportTarget::Bands}};
    for (const Case& c : cases) {
        for (const EqFileFormat format : {EqFileFormat::Rew, EqFileFormat::Apo}) {
            SCOPED_TRACE(std::string(c.name) + (format == EqFileFormat::Rew ? " rew" : " apo"));
            const std::string text = ExportChannelEq(c.channel, format, "setup 0 channel 2");
            EXPECT_EQ(text.find(','), std::string::npos) << text;
            const bool apo = format == EqFileFormat::Apo;
            const EqImport r =
                ImportChannelEq(text, format, Scrambled(c.channel, c.target, apo), c.target, 0);
            ExpectMessages(r, {});
            EXPECT_TRUE(SameChannel(r.channel, c.channel)) << text;
        }
    }
}

TEST(TuneExchangeTest, ExportWritesEachFormatsLines) {
    ChannelRecord ch;
    ch.HighPassOn = 1;
    ch.HighPassFreq = 80.0f;
    ch.HighPassSlope = 24;
    ch.LowPassOn = 1;
    ch.LowPassFreq = 5000.0f;
    ch.LowPassSlope = 6;
    ch.DelayOn = 1;
    ch.DelayTime = 1.5f;
    ch.Trim = 3.0f;
    for (EqPoint& p : ch.CustomEQ) p.Bypass = 1;
    ch.CustomEQ[2] = {1000.0f, -3.0f, 4.5f, 0};
    ch.EQBand[14].Gain = 1.5f;
    EXPECT_EQ(ExportChannelEq(ch, EqFileFormat::Rew, "front left"),
              "Filter Settings file\n"
              "\n"
              "Notes: front left\n"
              "Equaliser: Generic\n"
              "\n"
              "Filter  1: ON  HPQ      Fc     80.0 Hz  Q 1.3066\n"
              "Filter  2: ON  HPQ      Fc     80.0 Hz  Q 0.5412\n"
              "Filter  3: ON  LP1      Fc   5000.0 Hz\n"
              "Filter  4: ON  PK       Fc   1000.0 Hz  Gain  -3.0 dB  Q   4.50\n"
              "Filter  5: ON  PK       Fc   1000.0 Hz  Gain   1.5 dB  Q   3.00\n");
    EXPECT_EQ(ExportChannelEq(ch, EqFileFormat::Apo),
              "Preamp: -3.0 dB\n"
              "Delay: 1.50 ms\n"
              "Filter 1: ON HPQ Fc 80.0 Hz Q 1.3066\n"
              "Filter 2: ON HPQ Fc 80.0 Hz Q 0.5412\n"
              "Filter 3: ON LP1 Fc 5000.0 Hz\n"
              "Filter 4: ON PK Fc 1000.0 Hz Gain -3.0 dB Q 4.50\n"
              "Filter 5: ON PK Fc 1000.0 Hz Gain 1.5 dB Q 3.00\n");
    // EQ bypass silences the bands, not the points; crossovers that are off are not written.
    ch.EQBypass = 1;
    ch.HighPassOn = 0;
    ch.LowPassOn = 0;
    ch.DelayOn = 0;
    EXPECT_EQ(ExportChannelEq(ch, EqFileFormat::Apo),
              "Filter 1: ON PK Fc 1000.0 Hz Gain -3.0 dB Q 4.50\n");
}

}  // namespace
}  // namespace vantrel
