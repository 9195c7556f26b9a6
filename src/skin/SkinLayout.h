#pragma once

#include <QColor>
#include <QSize>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/ParameterModel.h"
#include "skin/SkinTable.h"

class QWidget;

namespace vantrel {

class SkinReader;
class CGdipButton;
class CLedCtl;
class CProgressBar;
class CFaderCtrl;
class CKnob;
class CTpStatic;
class CTpEdit;
class CTpComboBox;
class CSpectrumCtl;

// The colours of the response curves' channels 1 to 6.
std::array<QColor, kChannelCount> SkinCurveColors();

// One created control.
struct SkinControl {
    const SkinControlSpec* spec = nullptr;
    int index = 0;
    int id = 0;
    QWidget* widget = nullptr;
};

// Every control built from the skin, owned by the window (their Qt parent). Fields carry the skin
// names; arrays by index.
struct SkinControls {
    template <typename T, std::size_t N>
    using Array = std::array<T*, N>;
    static constexpr std::size_t kStrips = 3;
    static constexpr std::size_t kChannels = kChannelCount;
    static constexpr std::size_t kBands = kCustomPointCount;

    CGdipButton* LogoBtn = nullptr;
    CGdipButton* MuteBtn = nullptr;
    CGdipButton* EQLoadBtn = nullptr;
    CGdipButton* HomeBtn = nullptr;
    CGdipButton* WiFiBtn = nullptr;
    CGdipButton* ExitBtn = nullptr;
    CGdipButton* OpenBtn = nullptr;
    CGdipButton* ResetBtn = nullptr;
    CGdipButton* StoreBtn = nullptr;
    CGdipButton* SaveBtn = nullptr;
    Array<CGdipButton, kSetupCount> SetupBtn{};
    Array<CGdipButton, kStrips> GroupBtn{};
    Array<CGdipButton, kChannels> GroupCtlBtn{};
    Array<CGdipButton, kStrips> LevelMuteBtn{};
    Array<CGdipButton, kStrips> LevelLockBtn{};
    Array<CGdipButton, kStrips> LevelPlusBtn{};
    Array<CGdipButton, kStrips> LevelReduceBtn{};
    Array<CGdipButton, kStrips> HighPlusBtn{};
    Array<CGdipButton, kStrips> HighReduceBtn{};
    Array<CGdipButton, kStrips> LowPlusBtn{};
    Array<CGdipButton, kStrips> LowReduceBtn{};
    Array<CGdipButton, kStrips> HighONBtn{};
    Array<CGdipButton, kStrips> LowONBtn{};
    Array<CGdipButton, kStrips> HighLockBtn{};
    Array<CGdipButton, kStrips> LowLockBtn{};
    Array<CGdipButton, kChannels> TimeONBtn{};
    Array<CGdipButton, kStrips> High6dBBtn{};
    Array<CGdipButton, kStrips> High12dBBtn{};
    Array<CGdipButton, kStrips> High24dBBtn{};
    Array<CGdipButton, kStrips> High36dBBtn{};
    Array<CGdipButton, kStrips> High48dBBtn{};
    Array<CGdipButton, kStrips> Low6dBBtn{};
    Array<CGdipButton, kStrips> Low12dBBtn{};
    Array<CGdipButton, kStrips> Low24dBBtn{};
    Array<CGdipButton, kStrips> Low36dBBtn{};
    Array<CGdipButton, kStrips> Low48dBBtn{};
    Array<CLedCtl, kStrips> ClipLedStc{};
    Array<CLedCtl, kChannels> TimeLedStc{};
    Array<CKnob, kChannels> TimeDlyKnob{};
    Array<CKnob, kChannels> TimeAtnKnob{};
    CGdipButton* EQLoad2Btn = nullptr;
    CGdipButton* BypassBtn = nullptr;
    CGdipButton* ZoomBtn = nullptr;
    Array<CKnob, kBands> CEQFcyKnob{};
    Array<CKnob, kBands> CEQQKnob{};
    Array<CFaderCtrl, kBands> CustmEQFader{};
    Array<CTpEdit, kBands> CustmEQGainEdt{};
    Array<CTpEdit, kBands> CustmEQQEdt{};
    Array<CTpEdit, kBands> CustmEQFreqEdt{};
    Array<CGdipButton, kBands> CEQPassBtn{};
    Array<CLedCtl, kBands> CEQLedStc{};
    Array<CGdipButton, kChannels> EqGroupBtn{};
    Array<CGdipButton, kChannels> EQMuteBtn{};
    Array<CGdipButton, kStrips> Eq2GroupBtn{};
    CGdipButton* EQBack2Btn = nullptr;
    CGdipButton* EQBypassBtn = nullptr;
    CGdipButton* EQZoomBtn = nullptr;
    CGdipButton* EQResetBtn = nullptr;
    Array<CFaderCtrl, kEqBandCount> EQBandFader{};
    CTpStatic* ModelStc = nullptr;
    Array<CTpStatic, kChannels> ChStc{};
    Array<CTpStatic, kChannels> SpChStc{};
    Array<CTpStatic, kChannels> EQSpChStc{};
    Array<CTpComboBox, kChannels> ChCBox{};
    Array<CTpStatic, kChannels> ChFLMkStc{};
    Array<CTpStatic, kChannels> ChHPFStc{};
    Array<CTpStatic, kChannels> ChLPFStc{};
    Array<CTpStatic, kChannels> ChDLYStc{};
    Array<CTpStatic, kChannels> ChTRIMStc{};
    Array<CTpStatic, kChannels> ChEQStc{};
    CTpStatic* Prompt1Stc = nullptr;
    CTpStatic* Prompt2Stc = nullptr;
    CTpStatic* VoltageStc = nullptr;
    CTpStatic* TempStc = nullptr;
    CTpStatic* RunTimeStc = nullptr;
    Array<CTpEdit, kStrips> LevelEdit{};
    Array<CTpEdit, kStrips> HighPassEdit{};
    Array<CTpEdit, kStrips> LowPassEdit{};
    Array<CTpEdit, kChannels> DlyTimeEdt{};
    Array<CTpEdit, kChannels> DlyDisEdt{};
    Array<CTpEdit, kChannels> TrimEdt{};
    CTpEdit* EQBandFreqEdt = nullptr;
    CTpEdit* EQBandGainEdt = nullptr;
    Array<CProgressBar, kChannels> CHLevelBar{};
    CSpectrumCtl* SpectrumCurve = nullptr;
    CSpectrumCtl* EQSpectrumCurve = nullptr;

    // Every control in creation order, with its row, index and identifier.
    std::vector<SkinControl> all;
};

// Calls visit(field, name) for every control field of `c` (a SkinControls, const or not) with the
// skin name it is bound from: the one list of the fields, which the binding and its tests walk.
template <typename Controls, typename Visit>
void ForEachField(Controls& c, Visit&& visit) {
    visit(c.LogoBtn, "LogoBtn");
    visit(c.MuteBtn, "MuteBtn");
    visit(c.EQLoadBtn, "EQLoadBtn");
    visit(c.HomeBtn, "HomeBtn");
    visit(c.WiFiBtn, "WiFiBtn");
    visit(c.ExitBtn, "ExitBtn");
    visit(c.OpenBtn, "OpenBtn");
    visit(c.ResetBtn, "ResetBtn");
    visit(c.StoreBtn, "StoreBtn");
    visit(c.SaveBtn, "SaveBtn");
    visit(c.SetupBtn, "SetupBtn");
    visit(c.GroupBtn, "GroupBtn");
    visit(c.GroupCtlBtn, "GroupCtlBtn");
    visit(c.LevelMuteBtn, "LevelMuteBtn");
    visit(c.LevelLockBtn, "LevelLockBtn");
    visit(c.LevelPlusBtn, "LevelPlusBtn");
    visit(c.LevelReduceBtn, "LevelReduceBtn");
    visit(c.HighPlusBtn, "HighPlusBtn");
    visit(c.HighReduceBtn, "HighReduceBtn");
    visit(c.LowPlusBtn, "LowPlusBtn");
    visit(c.LowReduceBtn, "LowReduceBtn");
    visit(c.HighONBtn, "HighONBtn");
    visit(c.LowONBtn, "LowONBtn");
    visit(c.HighLockBtn, "HighLockBtn");
    visit(c.LowLockBtn, "LowLockBtn");
    visit(c.TimeONBtn, "TimeONBtn");
    visit(c.High6dBBtn, "High6dBBtn");
    visit(c.High12dBBtn, "High12dBBtn");
    visit(c.High24dBBtn, "High24dBBtn");
    visit(c.High36dBBtn, "High36dBBtn");
    visit(c.High48dBBtn, "High48dBBtn");
    visit(c.Low6dBBtn, "Low6dBBtn");
    visit(c.Low12dBBtn, "Low12dBBtn");
    visit(c.Low24dBBtn, "Low24dBBtn");
    visit(c.Low36dBBtn, "Low36dBBtn");
    visit(c.Low48dBBtn, "Low48dBBtn");
    visit(c.ClipLedStc, "ClipLedStc");
    visit(c.TimeLedStc, "TimeLedStc");
    visit(c.TimeDlyKnob, "TimeDlyKnob");
    visit(c.TimeAtnKnob, "TimeAtnKnob");
    visit(c.EQLoad2Btn, "EQLoad2Btn");
    visit(c.BypassBtn, "BypassBtn");
    visit(c.ZoomBtn, "ZoomBtn");
    visit(c.CEQFcyKnob, "CEQFcyKnob");
    visit(c.CEQQKnob, "CEQQKnob");
    visit(c.CustmEQFader, "CustmEQFader");
    visit(c.CustmEQGainEdt, "CustmEQGainEdt");
    visit(c.CustmEQQEdt, "CustmEQQEdt");
    visit(c.CustmEQFreqEdt, "CustmEQFreqEdt");
    visit(c.CEQPassBtn, "CEQPassBtn");
    visit(c.CEQLedStc, "CEQLedStc");
    visit(c.EqGroupBtn, "EqGroupBtn");
    visit(c.EQMuteBtn, "EQMuteBtn");
    visit(c.Eq2GroupBtn, "Eq2GroupBtn");
    visit(c.EQBack2Btn, "EQBack2Btn");
    visit(c.EQBypassBtn, "EQBypassBtn");
    visit(c.EQZoomBtn, "EQZoomBtn");
    visit(c.EQResetBtn, "EQResetBtn");
    visit(c.EQBandFader, "EQBandFader");
    visit(c.ModelStc, "ModelStc");
    visit(c.ChStc, "ChStc");
    visit(c.SpChStc, "SpChStc");
    visit(c.EQSpChStc, "EQSpChStc");
    visit(c.ChCBox, "ChCBox");
    visit(c.ChFLMkStc, "ChFLMkStc");
    visit(c.ChHPFStc, "ChHPFStc");
    visit(c.ChLPFStc, "ChLPFStc");
    visit(c.ChDLYStc, "ChDLYStc");
    visit(c.ChTRIMStc, "ChTRIMStc");
    visit(c.ChEQStc, "ChEQStc");
    visit(c.Prompt1Stc, "Prompt1Stc");
    visit(c.Prompt2Stc, "Prompt2Stc");
    visit(c.VoltageStc, "VoltageStc");
    visit(c.TempStc, "TempStc");
    visit(c.RunTimeStc, "RunTimeStc");
    visit(c.LevelEdit, "LevelEdit");
    visit(c.HighPassEdit, "HighPassEdit");
    visit(c.LowPassEdit, "LowPassEdit");
    visit(c.DlyTimeEdt, "DlyTimeEdt");
    visit(c.DlyDisEdt, "DlyDisEdt");
    visit(c.TrimEdt, "TrimEdt");
    visit(c.EQBandFreqEdt, "EQBandFreqEdt");
    visit(c.EQBandGainEdt, "EQBandGainEdt");
    visit(c.CHLevelBar, "CHLevelBar");
    visit(c.SpectrumCurve, "SpectrumCurve");
    visit(c.EQSpectrumCurve, "EQSpectrumCurve");
}

// Creates every control of the table as a child of `window`, in creation order, from the skin's
// sections, and applies the settings that follow creation: the EQ page set starts hidden. The
// response curves get `firstSetup` (may be null) to draw.
SkinControls CreateSkinControls(QWidget* window, const SkinReader& skin,
                                const SetupRecord* firstSetup);

// Shows the controls of `page` (Main or Eq) and hides those of the other page; controls on both
// pages are left alone.
void ShowPageSet(const SkinControls& controls, SkinPage page);

// The window is sized to its page's background: the picture's size is the client size, and the
// frame and caption around it are the window manager's. An empty picture leaves an empty client
// area. The window does not move: the backgrounds' "Left" and "Top" place nothing.
void SizeWindowToBackground(QWidget* window, QSize pictureSize);

}  // namespace vantrel
