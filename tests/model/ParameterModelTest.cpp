#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/ParameterModel.h"

namespace vantrel {
namespace {

// ---- helpers: every field, so "unchanged" means unchanged ----

bool SamePoint(const EqPoint& a, const EqPoint& b) {
    return a.Freq == b.Freq && a.Gain == b.Gain && a.Q == b.Q && a.Bypass == b.Bypass;
}

bool SameChannel(const ChannelRecord& a, const ChannelRecord& b) {
    bool same = a.Mute == b.Mute && a.LevelLock == b.LevelLock && a.LevelVal == b.LevelVal &&
                a.HighPassOn == b.HighPassOn && a.HighPassLock == b.HighPassLock &&
                a.HighPassFreq == b.HighPassFreq && a.HighPassSlope == b.HighPassSlope &&
                a.LowPassOn == b.LowPassOn && a.LowPassLock == b.LowPassLock &&
                a.LowPassFreq == b.LowPassFreq && a.LowPassSlope == b.LowPassSlope &&
                a.DelayOn == b.DelayOn && a.DelayTime == b.DelayTime && a.Trim == b.Trim &&
                a.EQBypass == b.EQBypass;
    for (int i = 0; i < kCustomPointCount; ++i)
        same = same && SamePoint(a.CustomEQ[i], b.CustomEQ[i]);
    for (int i = 0; i < kEqBandCount; ++i) same = same && SamePoint(a.EQBand[i], b.EQBand[i]);
    return same;
}

bool SameSetup(const SetupRecord& a, const SetupRecord& b) {
    bool same = a.MasterMute == b.MasterMute && a.Reserved == b.Reserved &&
                a.GroupFlag == b.GroupFlag && a.GroupEQFlag == b.GroupEQFlag;
    for (int c = 0; c < kChannelCount; ++c)
        same = same && SameChannel(a.Channels[c], b.Channels[c]);
    return same;
}

bool SameModel(const ParameterModel& a, const ParameterModel& b) {
    bool same = a.CurrentSetupIndex == b.CurrentSetupIndex && a.ANS == b.ANS &&
                a.ChannelNum == b.ChannelNum && a.Mode == b.Mode && a.MarkIndex == b.MarkIndex;
    for (int s = 0; s < kSetupCount; ++s) same = same && SameSetup(a.Setups[s], b.Setups[s]);
    return same;
}

// Every field away from its start and reset values, distinct per channel (`seed`).
void Scribble(ChannelRecord& ch, int seed) {
    const float f = static_cast<float>(seed);
    ch.Mute = 1;
    ch.LevelLock = 1;
    ch.LevelVal = 10 + f;
    ch.HighPassOn = 1;
    ch.HighPassLock = 1;
    ch.HighPassFreq = 100 + f;
    ch.HighPassSlope = 24;
    ch.LowPassOn = 1;
    ch.LowPassLock = 1;
    ch.LowPassFreq = 5000 + f;
    ch.LowPassSlope = 36;
    ch.DelayOn = 1;
    ch.DelayTime = 2 + f;
    ch.Trim = 6 + f;
    for (int i = 0; i < kCustomPointCount; ++i) {
        ch.CustomEQ[i] = EqPoint{2000 + f + static_cast<float>(i), -3 - f, 5 + f, 1};
    }
    for (int i = 0; i < kEqBandCount; ++i) {
        ch.EQBand[i] = EqPoint{7 + f + static_cast<float>(i), -2 - f, 9 + f, 1};
    }
    ch.EQBypass = 1;
}

ParameterModel ScribbledModel() {
    ParameterModel m;
    for (int s = 0; s < kSetupCount; ++s) {
        SetupRecord& setup = m.Setups[s];
        setup.MasterMute = 1;
        setup.Reserved = 7;
        setup.GroupFlag = 0x2A;
        setup.GroupEQFlag = 0x3E;
        for (int c = 0; c < kChannelCount; ++c) Scribble(setup.Channels[c], 10 * s + c);
    }
    m.ANS = 0;
    return m;
}

// The strip part of a reset: everything but the EQ.
void ExpectStripReset(const ChannelRecord& ch, bool mode2, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(ch.Mute, 0);
    EXPECT_EQ(ch.LevelLock, 0);
    EXPECT_EQ(ch.LevelVal, 1.0f);
    EXPECT_EQ(ch.HighPassOn, 0);
    EXPECT_EQ(ch.HighPassLock, 0);
    EXPECT_EQ(ch.HighPassFreq, 50.0f);
    EXPECT_EQ(ch.HighPassSlope, 6);
    EXPECT_EQ(ch.LowPassOn, mode2 ? 1 : 0);
    EXPECT_EQ(ch.LowPassLock, 0);
    EXPECT_EQ(ch.LowPassFreq, mode2 ? 302.0f : 10000.0f);
    EXPECT_EQ(ch.LowPassSlope, mode2 ? 48 : 6);
    EXPECT_EQ(ch.DelayOn, 0);
    EXPECT_EQ(ch.DelayTime, 0.0f);
    EXPECT_EQ(ch.Trim, 0.0f);
}

// The EQ part of a reset; Bypass flags of points and bands are compared with `before`.
void ExpectEqReset(const ChannelRecord& ch, const ChannelRecord& before, bool mode2,
                   const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(ch.EQBypass, 0);
    for (int i = 0; i < kCustomPointCount; ++i) {
        EXPECT_EQ(ch.CustomEQ[i].Freq, mode2 ? 100.0f : 1000.0f) << "custom " << i;
        EXPECT_EQ(ch.CustomEQ[i].Gain, 0.0f) << "custom " << i;
        EXPECT_EQ(ch.CustomEQ[i].Q, 3.0f) << "custom " << i;
        EXPECT_EQ(ch.CustomEQ[i].Bypass, before.CustomEQ[i].Bypass) << "custom " << i;
    }
    for (int b = 0; b < kEqBandCount; ++b) {
        EXPECT_EQ(ch.EQBand[b].Freq, static_cast<float>(EqBandFrequencies[b])) << "band " << b;
        EXPECT_EQ(ch.EQBand[b].Gain, 0.0f) << "band " << b;
        EXPECT_EQ(ch.EQBand[b].Q, 3.0f) << "band " << b;
        EXPECT_EQ(ch.EQBand[b].Bypass, before.EQBand[b].Bypass) << "band " << b;
    }
}

bool SameEq(const ChannelRecord& a, const ChannelRecord& b) {
    bool same = a.EQBypass == b.EQBypass;
    for (int i = 0; i < kCustomPointCount; ++i)
        same = same && SamePoint(a.CustomEQ[i], b.CustomEQ[i]);
    for (int i = 0; i < kEqBandCount; ++i) same = same && SamePoint(a.EQBand[i], b.EQBand[i]);
    return same;
}

// ---- lists and counts ----

TEST(ParameterModelTest, Lists) {
    EXPECT_STREQ(ChannelMarkList[0], "Not used");
    EXPECT_STREQ(ChannelMarkList[1], "FL Full");
    EXPECT_STREQ(ChannelMarkList[8], "FR Woofer");
    EXPECT_STREQ(ChannelMarkList[14], "RR Tweeter");
    EXPECT_STREQ(ChannelMarkList[20], "C Woofer");
    EXPECT_EQ(EqBandFrequencies[0], 40);
    EXPECT_EQ(EqBandFrequencies[14], 1000);
    EXPECT_EQ(EqBandFrequencies[26], 16000);
    for (int b = 1; b < kEqBandCount; ++b)
        EXPECT_LT(EqBandFrequencies[b - 1], EqBandFrequencies[b]);
}

TEST(ParameterModelTest, EffectiveAndImageChannelCount) {
    struct CountCase {
        int channelNum, effective, image;
    };
    // 1 counts as 2; other values out of {1, 2, 4, 6} round up to whole pairs and
    // stop at six, so no loop can leave the six channels.
    const CountCase cases[] = {{0, 2, 2}, {1, 2, 2}, {2, 2, 2}, {3, 4, 4},  {4, 4, 4},
                               {5, 6, 4}, {6, 6, 4}, {7, 6, 4}, {255, 6, 4}};
    for (const CountCase& c : cases) {
        ParameterModel m;
        m.ChannelNum = static_cast<std::uint8_t>(c.channelNum);
        EXPECT_EQ(EffectiveChannelCount(m), c.effective) << c.channelNum;
        EXPECT_EQ(ImageChannelCount(m), c.image) << c.channelNum;
    }
}

TEST(ParameterModelTest, PartnerChannel) {
    const int partners[kChannelCount] = {1, 0, 3, 2, 5, 4};
    for (int c = 0; c < kChannelCount; ++c) EXPECT_EQ(PartnerChannel(c), partners[c]) << c;
}

// ---- InitSetups and ResetSetup ----

TEST(ParameterModelTest, InitSetupsWritesAllSetupsAndChannels) {
    ParameterModel m = ScribbledModel();
    m.Mode = 2;  // start values do not depend on Mode
    m.ChannelNum = 2;
    InitSetups(m);
    EXPECT_EQ(m.ANS, 255);
    for (int s = 0; s < kSetupCount; ++s) {
        const SetupRecord& setup = m.Setups[s];
        EXPECT_EQ(setup.MasterMute, 0);
        EXPECT_EQ(setup.Reserved, 0);
        EXPECT_EQ(setup.GroupFlag, 0x15);
        EXPECT_EQ(setup.GroupEQFlag, 1);
        for (int c = 0; c < kChannelCount; ++c) {
            const std::string what = "setup " + std::to_string(s) + " channel " + std::to_string(c);
            const ChannelRecord& ch = setup.Channels[c];
            ExpectStripReset(ch, false, what);
            ChannelRecord bypassCleared = ch;
            for (EqPoint& p : bypassCleared.CustomEQ) p.Bypass = 0;
            ExpectEqReset(ch, bypassCleared, false, what);  // custom point Bypass 0
        }
    }
}

TEST(ParameterModelTest, ResetSetupOnTwoChannelModelLeavesOtherChannelsAndBypass) {
    ParameterModel m = ScribbledModel();
    m.ChannelNum = 2;
    const ParameterModel before = m;
    ResetSetup(m, 1);

    EXPECT_EQ(m.ANS, 255);
    const SetupRecord& setup = m.Setups[1];
    EXPECT_EQ(setup.MasterMute, 0);
    EXPECT_EQ(setup.Reserved, 0);
    EXPECT_EQ(setup.GroupFlag, 0x15);
    EXPECT_EQ(setup.GroupEQFlag, 1);
    for (int c = 0; c < 2; ++c) {
        ExpectStripReset(setup.Channels[c], false, "channel " + std::to_string(c));
        ExpectEqReset(setup.Channels[c], before.Setups[1].Channels[c], false,
                      "channel " + std::to_string(c));
        EXPECT_EQ(setup.Channels[c].CustomEQ[0].Bypass, 1);
    }
    for (int c = 2; c < kChannelCount; ++c) {
        EXPECT_TRUE(SameChannel(setup.Channels[c], before.Setups[1].Channels[c])) << c;
    }
    for (int s : {0, 2, 3}) EXPECT_TRUE(SameSetup(m.Setups[s], before.Setups[s])) << s;
}

TEST(ParameterModelTest, ResetSetupMode2) {
    ParameterModel m = ScribbledModel();
    m.Mode = 2;
    m.ChannelNum = 4;
    const ParameterModel before = m;
    ResetSetup(m, 3);

    const SetupRecord& setup = m.Setups[3];
    EXPECT_EQ(setup.GroupFlag, 3);
    EXPECT_EQ(setup.GroupEQFlag, 3);
    for (int c = 0; c < 4; ++c) {
        ExpectStripReset(setup.Channels[c], true, "channel " + std::to_string(c));
        ExpectEqReset(setup.Channels[c], before.Setups[3].Channels[c], true,
                      "channel " + std::to_string(c));
    }
    for (int c = 4; c < kChannelCount; ++c) {
        EXPECT_TRUE(SameChannel(setup.Channels[c], before.Setups[3].Channels[c])) << c;
    }
}

TEST(ParameterModelTest, ResetSetupChannelCounts) {
    const struct { int channelNum, resetChannels; } cases[] = {{1, 2}, {4, 4}, {6, 6}, {200, 6}};
    for (const auto& c : cases) {
        ParameterModel m = ScribbledModel();
        m.ChannelNum = static_cast<std::uint8_t>(c.channelNum);
        const ParameterModel before = m;
        ResetSetup(m, 0);
        for (int ch = 0; ch < kChannelCount; ++ch) {
            const bool unchanged =
                SameChannel(m.Setups[0].Channels[ch], before.Setups[0].Channels[ch]);
            EXPECT_EQ(unchanged, ch >= c.resetChannels)
                << "ChannelNum " << c.channelNum << " channel " << ch;
        }
    }
}

TEST(ParameterModelTest, ResetSetupIgnoresBadIndex) {
    for (int s : {-1, 4, 1000}) {
        ParameterModel m = ScribbledModel();
        const ParameterModel before = m;
        ResetSetup(m, s);
        EXPECT_TRUE(SameModel(m, before)) << s;
    }
}

// ---- copy ----

TEST(ParameterModelTest, CopyChannelStripWithDelaySetsTargetAndPartnerLevel) {
    // Pasting channel 1 onto channel 3 (indices 0 -> 2) in setup 2.
    ParameterModel m = ScribbledModel();
    const ParameterModel before = m;
    CopyChannelStrip(m, 1, 0, 2, true);

    const ChannelRecord& src = before.Setups[1].Channels[0];
    const ChannelRecord& old2 = before.Setups[1].Channels[2];
    const ChannelRecord& old3 = before.Setups[1].Channels[3];
    ChannelRecord want2 = old2;
    want2.DelayOn = src.DelayOn;
    want2.DelayTime = src.DelayTime;
    want2.Trim = src.Trim;
    want2.LevelLock = src.LevelLock;
    want2.LevelVal = src.LevelVal;
    want2.HighPassFreq = src.HighPassFreq;
    want2.HighPassLock = src.HighPassLock;
    want2.HighPassOn = src.HighPassOn;
    want2.HighPassSlope = src.HighPassSlope;
    want2.LowPassFreq = src.LowPassFreq;
    want2.LowPassLock = src.LowPassLock;
    want2.LowPassOn = src.LowPassOn;
    want2.LowPassSlope = src.LowPassSlope;
    want2.Mute = src.Mute;
    want2.EQBypass = src.EQBypass;
    ChannelRecord want3 = old3;
    want3.LevelVal = src.LevelVal;
    want3.LevelLock = src.LevelLock;

    EXPECT_NE(old3.LevelVal, src.LevelVal) << "the partner write must show";
    EXPECT_TRUE(SameChannel(m.Setups[1].Channels[2], want2));
    EXPECT_TRUE(SameChannel(m.Setups[1].Channels[3], want3));
    m.Setups[1].Channels[2] = old2;
    m.Setups[1].Channels[3] = old3;
    EXPECT_TRUE(SameModel(m, before)) << "nothing else changes";
}

TEST(ParameterModelTest, CopyChannelStripLevelLockReachesPartner) {
    ParameterModel m;
    InitSetups(m);
    m.Setups[0].Channels[0].LevelLock = 1;
    m.Setups[0].Channels[0].LevelVal = 12;
    CopyChannelStrip(m, 0, 0, 2, true);
    EXPECT_EQ(m.Setups[0].Channels[3].LevelLock, 1);
    EXPECT_EQ(m.Setups[0].Channels[3].LevelVal, 12.0f);
}

TEST(ParameterModelTest, CopyChannelStripWithoutDelay) {
    ParameterModel m = ScribbledModel();
    const ChannelRecord old = m.Setups[0].Channels[5];
    CopyChannelStrip(m, 0, 1, 5, false);
    const ChannelRecord& got = m.Setups[0].Channels[5];
    EXPECT_EQ(got.DelayTime, old.DelayTime);
    EXPECT_EQ(got.Trim, old.Trim);
    EXPECT_EQ(got.HighPassFreq, m.Setups[0].Channels[1].HighPassFreq);
    EXPECT_EQ(m.Setups[0].Channels[4].LevelVal, m.Setups[0].Channels[1].LevelVal);
}

TEST(ParameterModelTest, CopyChannelStripOntoOwnPartner) {
    // The pair link copies the first channel onto the second: the source is the target's partner.
    ParameterModel m = ScribbledModel();
    const ChannelRecord src = m.Setups[0].Channels[0];
    CopyChannelStrip(m, 0, 0, 1, false);
    EXPECT_TRUE(SameChannel(m.Setups[0].Channels[0], src));
    EXPECT_EQ(m.Setups[0].Channels[1].HighPassFreq, src.HighPassFreq);
    EXPECT_EQ(m.Setups[0].Channels[1].LevelVal, src.LevelVal);
}

TEST(ParameterModelTest, CopyChannelEqCopiesPointsAndBandGainsOnly) {
    ParameterModel m = ScribbledModel();
    m.Setups[2].Channels[4].CustomEQ[2].Bypass = 0;
    m.Setups[2].Channels[4].EQBypass = 0;
    const ParameterModel before = m;
    CopyChannelEq(m, 2, 4, 1);

    const ChannelRecord& src = before.Setups[2].Channels[4];
    ChannelRecord want = before.Setups[2].Channels[1];
    want.CustomEQ = src.CustomEQ;
    for (int b = 0; b < kEqBandCount; ++b) want.EQBand[b].Gain = src.EQBand[b].Gain;
    want.EQBypass = 0;
    EXPECT_TRUE(SameChannel(m.Setups[2].Channels[1], want));
    EXPECT_EQ(m.Setups[2].Channels[1].CustomEQ[2].Bypass, 0);
    EXPECT_NE(m.Setups[2].Channels[1].EQBand[0].Freq, src.EQBand[0].Freq) << "band Freq stays";
    m.Setups[2].Channels[1] = before.Setups[2].Channels[1];
    EXPECT_TRUE(SameModel(m, before)) << "nothing else changes";
}

TEST(ParameterModelTest, CopyIgnoresBadIndices) {
    const struct {
        int s, c, t;
    } cases[] = {{-1, 0, 1}, {4, 0, 1}, {0, -1, 1}, {0, 6, 1}, {0, 0, -1}, {0, 0, 6}};
    for (const auto& c : cases) {
        ParameterModel m = ScribbledModel();
        const ParameterModel before = m;
        CopyChannelStrip(m, c.s, c.c, c.t, true);
        CopyChannelEq(m, c.s, c.c, c.t);
        EXPECT_TRUE(SameModel(m, before)) << c.s << ' ' << c.c << ' ' << c.t;
    }
}

// ---- channel reset ----

TEST(ParameterModelTest, ResetChannelStripUnlinkedSetsPartnerLevelOnly) {
    ParameterModel m = ScribbledModel();
    m.CurrentSetupIndex = 1;
    m.Setups[1].GroupFlag = 0x15;  // pair 2 unlinked
    const ParameterModel before = m;
    ResetChannelStrip(m, 2);

    ExpectStripReset(m.Setups[1].Channels[2], false, "channel 3");
    EXPECT_TRUE(SameEq(m.Setups[1].Channels[2], before.Setups[1].Channels[2])) << "EQ stays";
    ChannelRecord want3 = before.Setups[1].Channels[3];
    want3.LevelVal = 1.0f;
    EXPECT_TRUE(SameChannel(m.Setups[1].Channels[3], want3));
    EXPECT_TRUE(SameSetup(m.Setups[0], before.Setups[0])) << "other setups stay";
}

TEST(ParameterModelTest, ResetChannelStripMode2LinkedResetsPair) {
    ParameterModel m = ScribbledModel();
    m.Mode = 2;
    m.CurrentSetupIndex = 0;
    m.Setups[0].GroupFlag = 0x1D;  // pair 2 linked (bits 2 and 3)
    const ParameterModel before = m;
    ResetChannelStrip(m, 2);

    for (int c : {2, 3}) {
        const ChannelRecord& ch = m.Setups[0].Channels[c];
        ExpectStripReset(ch, true, "channel " + std::to_string(c + 1));
        EXPECT_EQ(ch.LowPassFreq, 302.0f);
        EXPECT_EQ(ch.LowPassSlope, 48);
        EXPECT_EQ(ch.LowPassOn, 1);
        EXPECT_TRUE(SameEq(ch, before.Setups[0].Channels[c])) << "EQ stays";
    }
    for (int c : {0, 1, 4, 5}) {
        EXPECT_TRUE(SameChannel(m.Setups[0].Channels[c], before.Setups[0].Channels[c])) << c;
    }
}

TEST(ParameterModelTest, ResetChannelStripHalfLinkedPairIsNotLinked) {
    ParameterModel m = ScribbledModel();
    m.Setups[0].GroupFlag = 0x29;  // pair 2: only bit 3 set
    const ChannelRecord old2 = m.Setups[0].Channels[2];
    ResetChannelStrip(m, 3);
    EXPECT_EQ(m.Setups[0].Channels[2].HighPassFreq, old2.HighPassFreq);
    EXPECT_EQ(m.Setups[0].Channels[2].LevelVal, 1.0f);
}

TEST(ParameterModelTest, ResetChannelEqUnmutesAndKeepsBypass) {
    ParameterModel m = ScribbledModel();
    m.CurrentSetupIndex = 2;
    m.Setups[2].GroupEQFlag = 0x04;  // channel 3 only
    const ParameterModel before = m;
    ResetChannelEq(m, 2);

    const ChannelRecord& ch = m.Setups[2].Channels[2];
    EXPECT_EQ(ch.Mute, 0);
    ExpectEqReset(ch, before.Setups[2].Channels[2], false, "channel 3");
    EXPECT_EQ(ch.CustomEQ[3].Bypass, 1);
    EXPECT_EQ(ch.HighPassFreq, before.Setups[2].Channels[2].HighPassFreq) << "strip stays";
    EXPECT_EQ(ch.LevelVal, before.Setups[2].Channels[2].LevelVal) << "strip stays";
    EXPECT_TRUE(SameChannel(m.Setups[2].Channels[3], before.Setups[2].Channels[3]));
}

TEST(ParameterModelTest, ResetChannelEqLinkedPairMode2) {
    ParameterModel m = ScribbledModel();
    m.Mode = 2;
    m.Setups[0].GroupEQFlag = 0x0C;  // channels 3 and 4
    const ParameterModel before = m;
    ResetChannelEq(m, 3);
    for (int c : {2, 3}) {
        EXPECT_EQ(m.Setups[0].Channels[c].Mute, 0) << c;
        ExpectEqReset(m.Setups[0].Channels[c], before.Setups[0].Channels[c], true,
                      "channel " + std::to_string(c + 1));
    }
    EXPECT_TRUE(SameChannel(m.Setups[0].Channels[1], before.Setups[0].Channels[1]));
}

TEST(ParameterModelTest, ChannelResetsIgnoreBadIndices) {
    for (int setupIndex : {0, -1, 4}) {
        for (int c : {-1, 6, 100}) {
            ParameterModel m = ScribbledModel();
            m.CurrentSetupIndex = setupIndex;
            const ParameterModel before = m;
            ResetChannelStrip(m, c);
            ResetChannelEq(m, c);
            EXPECT_TRUE(SameModel(m, before)) << setupIndex << ' ' << c;
        }
    }
    ParameterModel m = ScribbledModel();
    m.CurrentSetupIndex = 7;
    const ParameterModel before = m;
    ResetChannelStrip(m, 0);
    ResetChannelEq(m, 0);
    EXPECT_TRUE(SameModel(m, before));
}

}  // namespace
}  // namespace vantrel
