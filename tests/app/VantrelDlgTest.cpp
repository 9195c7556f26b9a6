// The whole window against the virtual amplifier over a direct link: start, connect, download,
// show, and store at closing.
#include "app/VantrelDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>

#include "app/ConnectionMonitor.h"
#include "controls/CGdipButton.h"
#include "controls/CTpEdit.h"
#include "controls/CTpStatic.h"
#include "controls/PictureCache.h"
#include "link/CDSPSocket.h"
#include "link/CDspCtlThread.h"
#include "model/SetupTransfer.h"
#include "sim/VirtualAmplifier.h"
#include "support/AmplifierWindowFixture.h"

namespace vantrel {
namespace {

// A tune on setup 1 channel 1: high-pass on at 1000 Hz, 24 dB per octave, delay on at 3.5 ms.
void Tune(ParameterModel& model) {
    ChannelRecord& ch = model.Setups[0].Channels[0];
    ch.HighPassOn = 1;
    ch.HighPassFreq = 1000.0f;
    ch.HighPassSlope = 24;
    ch.DelayOn = 1;
    ch.DelayTime = 3.5f;
}

class WindowTest : public test::AmplifierWindowTest {};

TEST_F(WindowTest, ConnectsDownloadsAndShowsTheAmplifier) {
    StartAmplifier(4, 3, Tune);
    OpenWindow();
    ASSERT_TRUE(window->StartError().empty());
    ASSERT_TRUE(window->WaitForSetups(10000));
    const SkinControls& c = window->Controls();
    EXPECT_EQ(c.Prompt1Stc->Text(), "Loading setup data, please wait...");
    EXPECT_EQ(c.Prompt2Stc->Text(), "Get setup data OK.");
    // The catalogue's entry of model code 3.
    EXPECT_FALSE(c.ModelStc->Text().isEmpty());
    EXPECT_TRUE(window->windowTitle().endsWith(c.ModelStc->Text()));
    // The downloaded tune, on its grids.
    EXPECT_EQ(c.HighPassEdit[0]->Text(), "1000 Hz");
    EXPECT_EQ(c.High24dBBtn[0]->GetCheck(), 1);
    EXPECT_EQ(c.DlyTimeEdt[0]->Text(), "3.50 ms");
    EXPECT_EQ(c.ChHPFStc[0]->Text(), "1000");
    // The status arrives right after the download.
    ASSERT_TRUE(window->WaitForStatus(5000));
    EXPECT_EQ(c.VoltageStc->Text(), "12.4 V");
    EXPECT_EQ(c.TempStc->Text(), "45 C");
    EXPECT_EQ(c.RunTimeStc->Text(), "1230 m");
    EXPECT_TRUE(window->Monitor()->IsAdaptorLinked());
}

TEST_F(WindowTest, TwoChannelAmplifierLaysOutOneStripAndTwoColumns) {
    StartAmplifier(2, 2, Tune);  // a two-channel model of the catalogue
    OpenWindow();
    ASSERT_TRUE(window->WaitForSetups(10000));
    const SkinControls& c = window->Controls();
    EXPECT_EQ(window->Model().ChannelNum, 2);
    EXPECT_FALSE(c.HighONBtn[0]->IsDisabled());
    EXPECT_TRUE(c.HighONBtn[1]->IsDisabled());
    EXPECT_TRUE(c.TimeONBtn[2]->IsDisabled());
    EXPECT_EQ(c.ChEQStc[3]->Text(), "-");
}

TEST_F(WindowTest, ClosingAsksOnlyAfterAnEditAndYesStores) {
    StartAmplifier(4, 3, Tune);
    {
        OpenWindow();
        ASSERT_TRUE(window->WaitForSetups(10000));
        int asked = 0;
        window->askSaveOnClose = [&] { return ++asked, true; };
        window->close();
        EXPECT_EQ(asked, 0) << "nothing changed";
    }
    OpenWindow();
    ASSERT_TRUE(window->WaitForSetups(10000));
    int asked = 0;
    window->askSaveOnClose = [&] { return ++asked, true; };
    {
        // An edit: the current image now differs from the stored one.
        WorkerState& state = window->Worker()->State();
        std::lock_guard lock(state.mutex);
        state.current[kSetupImagesOffset + 4] ^= 0x01;
    }
    const std::size_t writesBefore = Count(CMD_WRITE_MEMORY);
    window->close();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Count(CMD_WRITE_MEMORY) - writesBefore, 3u);
}

}  // namespace
}  // namespace vantrel
