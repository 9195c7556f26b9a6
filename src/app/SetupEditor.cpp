#include "app/SetupEditor.h"

#include <QFileDialog>
#include <QFileInfo>

#include "app/DisplayRefresh.h"
#include "controls/CGdipButton.h"
#include "model/PresetFile.h"
#include "skin/SkinLayout.h"

namespace vantrel {
namespace {

std::size_t At(int i) { return static_cast<std::size_t>(i); }

const QString kWarning = QStringLiteral("Warning");
const QString kPresetFilter = QStringLiteral("Config File(*.dat);;All File(*.*)");

std::optional<std::filesystem::path> AskOpenPath(QWidget* parent) {
    const QString file = QFileDialog::getOpenFileName(parent, QString(), QString(), kPresetFilter);
    if (file.isEmpty()) return std::nullopt;
    return std::filesystem::path(file.toStdString());
}

// A new name is welcome; ".dat" is added when no extension is typed, and the dialog asks before
// it replaces a file.
std::optional<std::filesystem::path> AskSavePath(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kPresetFilter);
    dialog.setDefaultSuffix(QStringLiteral("dat"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

}  // namespace

void SetupEditor::Register(HandlerTable& table) {
    SkinControls& k = m_ctx.controls;
    const auto click = [&](CGdipButton* button, auto handler) {
        table.Add(WM_COMMAND, button->Id(), [handler](const ControlMessage&) { handler(); });
    };
    for (int s = 0; s < kSetupCount; ++s) click(k.SetupBtn[At(s)], [this, s] { OnSetup(s); });
    click(k.StoreBtn, [this] { OnStore(); });
    click(k.ResetBtn, [this] { OnReset(); });
    click(k.WiFiBtn, [this] { OnReload(); });
    click(k.OpenBtn, [this] { OnOpen(); });
    click(k.SaveBtn, [this] { OnSave(); });
    click(k.ExitBtn, [this] { OnNoiseKiller(); });
}

void SetupEditor::PostStore(int activate, bool switching) {
    const std::optional<std::uint32_t> request =
        m_ctx.sink.Store(m_ctx.model, static_cast<std::uint8_t>(activate));
    if (!request) return;
    m_ctx.tune.pendingStore = PendingStore{*request, m_ctx.model.Setups, m_ctx.model.ANS,
                                           m_ctx.model.MarkIndex, switching, activate};
}

void SetupEditor::OnStoreFinished(std::uint32_t request, bool stored) {
    std::optional<PendingStore>& posted = m_ctx.tune.pendingStore;
    if (!posted || posted->request != request) return;
    const PendingStore pending = *posted;
    posted.reset();
    if (!stored) {
        m_ctx.Prompt(kStoreFailed);
        // A store activates the chosen setup only once stored; a switch still goes there.
        if (pending.switching) m_ctx.sink.LoadSetup(pending.activate);
        return;
    }
    // What the amplifier now holds is what was posted; an edit made meanwhile stays unsaved.
    m_ctx.tune.savedSetups = pending.setups;
    m_ctx.tune.savedAns = pending.ans;
    bool marksSince = false;
    for (int c = 0; c < kImageChannelCount; ++c) {
        marksSince = marksSince || m_ctx.model.MarkIndex[At(c)] != pending.marks[At(c)];
    }
    m_ctx.tune.marksChanged = marksSince;
}

void SetupEditor::UnmuteSetup(int s) {
    SetupRecord& setup = m_ctx.model.Setups[At(s)];
    setup.MasterMute = 0;
    const int n = m_ctx.ChannelCount();
    for (int c = 0; c < n; ++c) setup.Channels[At(c)].Mute = 0;
    m_ctx.sink.Send([&](DeviceImage& image) {
        ImagePosts posts;
        for (int c = 0; c < n; ++c) posts.Append(UpdateChannelMute(image, m_ctx.model, s, c));
        return posts;
    });
}

void SetupEditor::OnSetup(int s) {
    SkinControls& k = m_ctx.controls;
    for (int i = 0; i < kSetupCount; ++i) k.SetupBtn[At(i)]->SetCheck(i == s);
    if (s == m_ctx.SetupIndex()) return;

    // The question concerns the setup being left, so it is judged before the new one changes.
    const bool unsaved = m_ctx.sink.Online() && m_ctx.Unsaved();
    const bool store = unsaved && m_ctx.AskYesNo(kSaveQuestion, kWarning);
    if (unsaved && !store) {
        // The changes are dropped: the window and the amplifier go back to the stored tune.
        m_ctx.sink.RevertImage();
        m_ctx.model.Setups = m_ctx.tune.savedSetups;
        if (m_ctx.model.ANS != m_ctx.tune.savedAns) {
            m_ctx.model.ANS = m_ctx.tune.savedAns;
            m_ctx.sink.SetNoiseKiller(m_ctx.model.ANS);
        }
    }
    m_ctx.model.CurrentSetupIndex = s;
    k.MuteBtn->SetCheck(0);
    UnmuteSetup(s);
    // A store activates the new setup once stored; otherwise the amplifier is told (online).
    if (store) {
        PostStore(s, true);
    } else {
        m_ctx.sink.LoadSetup(s);
    }
    m_ctx.refresh.RefreshSetupDisplay(s);
}

void SetupEditor::OnStore() {
    m_ctx.controls.StoreBtn->SetCheck(0);
    if (!m_ctx.sink.Online()) return;
    PostStore(m_ctx.SetupIndex(), false);
}

void SetupEditor::SendCurrentSetup() {
    std::vector<int> levelChannels;
    for (int c = 0; c < ImageChannelCount(m_ctx.model); ++c) levelChannels.push_back(c);
    m_ctx.SendCurrentSetup(levelChannels);
}

void SetupEditor::OnReset() {
    m_ctx.controls.ResetBtn->SetCheck(0);
    if (m_ctx.Unsaved() && !m_ctx.AskYesNo(kResetQuestion, kWarning)) return;
    // The noise killer is the user's choice, not part of a setup.
    const std::uint8_t ans = m_ctx.model.ANS;
    const int current = m_ctx.SetupIndex();
    for (int s = 0; s < kSetupCount; ++s) {
        if (s != current) ResetSetup(m_ctx.model, s);
    }
    ResetSetup(m_ctx.model, current);
    m_ctx.model.ANS = ans;
    m_ctx.refresh.RefreshSetupDisplay(current);
    SendCurrentSetup();
}

void SetupEditor::OnReload() {
    m_ctx.controls.WiFiBtn->SetCheck(0);
    if (!m_ctx.sink.Online()) return;
    if (m_ctx.Unsaved() && !m_ctx.AskYesNo(kReloadQuestion, kWarning)) return;
    // The shown tune stays until the amplifier's arrives: a failed reload leaves it as it was.
    m_ctx.tune.reloadRequested = true;
    m_ctx.sink.Reload();
}

void SetupEditor::OnOpen() {
    m_ctx.controls.OpenBtn->SetCheck(0);
    const auto path = m_ctx.hooks.choosePresetToOpen ? m_ctx.hooks.choosePresetToOpen()
                                                     : AskOpenPath(m_ctx.dialogParent);
    if (!path) return;
    // A connected amplifier keeps its own channel count and mode whatever the file says.
    const bool online = m_ctx.sink.Online();
    const std::uint8_t channels = m_ctx.model.ChannelNum;
    const std::uint8_t mode = m_ctx.model.Mode;
    if (!LoadPresetFile(m_ctx.model, *path)) {
        m_ctx.Prompt(kOpenFailed);
        return;
    }
    if (online) {
        m_ctx.model.ChannelNum = channels;
        m_ctx.model.Mode = mode;
    }
    m_ctx.refresh.RefreshSetupDisplay(m_ctx.SetupIndex());
    // The amplifier plays what the window shows; the file's tune is unsaved until stored.
    SendCurrentSetup();
    m_ctx.sink.SetNoiseKiller(m_ctx.model.ANS);
    if (m_presetChanged) m_presetChanged(*path);
}

void SetupEditor::OnSave() {
    m_ctx.controls.SaveBtn->SetCheck(0);
    const auto path = m_ctx.hooks.choosePresetToSave ? m_ctx.hooks.choosePresetToSave()
                                                     : AskSavePath(m_ctx.dialogParent);
    if (!path) return;
    const bool saved = SavePresetFile(m_ctx.model, *path, [this](const std::string& progress) {
        m_ctx.Prompt(ToQString(progress));
    });
    if (!saved) {
        m_ctx.Prompt(kSaveFailed);
        return;
    }
    if (m_presetChanged) m_presetChanged(*path);
}

void SetupEditor::OnNoiseKiller() {
    m_ctx.model.ANS = m_ctx.controls.ExitBtn->GetCheck() != 0 ? 0 : 255;
    m_ctx.sink.SetNoiseKiller(m_ctx.model.ANS);
}

}  // namespace vantrel
