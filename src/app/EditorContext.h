#pragma once

#include <QString>
#include <QWidget>
#include <QPoint>
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "controls/ControlHost.h"
#include "model/DeviceImage.h"
#include "model/ParameterModel.h"

namespace vantrel {

struct SkinControls;
class DisplayRefresh;

// Where the editors' changes go on their way to the amplifier. The window's implementation posts
// to the worker; tests record.
class EditSink {
public:
    using ImageUpdate = std::function<ImagePosts(DeviceImage&)>;

    virtual ~EditSink() = default;
    // The adaptor link is up and the amplifier is connected: edits are sent. Offline an edit
    // changes the model and the display only.
    virtual bool Online() const = 0;
    // Online: runs `update` on the current image, under the image lock, and posts every range
    // and level it returns. Offline: nothing.
    virtual void Send(const ImageUpdate& update) = 0;
    // Online: byte `channel` of the channel-assignment block, which travels with the next store.
    virtual void WriteChannelAssign(int channel, std::uint8_t mark) = 0;

    // Online: writes the marks of channels 1 to 4 and the noise killer into the worker and posts
    // the store of all four setups, which activates `activate` once stored. The request's number
    // comes back with the result (StoreFinished); nothing offline.
    virtual std::optional<std::uint32_t> Store(const ParameterModel& model,
                                               std::uint8_t activate) = 0;
    // Online: the amplifier plays setup `setup`.
    virtual void LoadSetup(int setup) = 0;
    // Online: downloads the amplifier's setups again.
    virtual void Reload() = 0;
    // The noise-killer byte (stored with the setups); online it is also sent at once.
    virtual void SetNoiseKiller(std::uint8_t value) = 0;
    // The current image differs from the one last stored in or read from the amplifier.
    virtual bool ImageUnsaved() const = 0;
    // The current image goes back to the stored one; online every setup that changed is sent, so
    // the amplifier plays what was stored.
    virtual void RevertImage() = 0;
};

// A store posted to the worker, until its answer comes: what it stores and what it was for.
struct PendingStore {
    std::uint32_t request = 0;
    std::array<SetupRecord, kSetupCount> setups{};
    std::uint8_t ans = 255;
    std::array<std::int32_t, kChannelCount> marks{};
    bool switching = false;  // posted by a setup switch, which must end on the new setup
    int activate = 0;
};

// What was last stored in or read from the amplifier, to tell unsaved changes.
struct TuneState {
    std::array<SetupRecord, kSetupCount> savedSetups{};
    std::uint8_t savedAns = 255;
    // A channel mark changed since: marks travel in a block of their own, not in the setups.
    bool marksChanged = false;
    // The user asked for the download under way and has answered for the tune shown.
    bool reloadRequested = false;
    // The store posted and not answered yet; meanwhile the worker may still read the image.
    std::optional<PendingStore> pendingStore;
};

// One entry of a pop-up menu.
struct MenuItem {
    int command = 0;
    QString text;
    bool enabled = true;
};

// Questions, warnings, menus and file dialogs the editors raise. Each may be replaced (tests
// answer them); an empty one falls back to the real box, menu or dialog.
struct EditorHooks {
    // An OK box with a warning icon.
    std::function<void(const QString& text, const QString& caption)> showWarning;
    // A Yes/No question with the exclamation icon; true for Yes.
    std::function<bool(const QString& text, const QString& caption)> askYesNo;
    // A pop-up menu at `screenPoint`: the command of the chosen item, 0 when none was chosen.
    std::function<int(const std::vector<MenuItem>& items, QPoint screenPoint)> popupMenu;
    // The preset file to open (an existing one) or to save to (possibly new); nothing on Cancel.
    std::function<std::optional<std::filesystem::path>()> choosePresetToOpen;
    std::function<std::optional<std::filesystem::path>()> choosePresetToSave;
    // A file to read (`save` false, an existing one) or to write, of the kind `filter` names
    // ("REW filters (*.txt)"); nothing on Cancel.
    std::function<std::optional<std::filesystem::path>(bool save, const QString& caption,
                                                       const QString& filter)>
        chooseFile;
    // The speaker distances in cm of the first `count` channels, starting from `current`;
    // nothing on Cancel.
    std::function<std::optional<std::array<float, kChannelCount>>(
        const std::array<float, kChannelCount>& current, int count)>
        askDistances;
};

// The window's table of control notifications: message number and control identifier to handler.
class HandlerTable {
public:
    using Handler = std::function<void(const ControlMessage&)>;

    void Add(std::uint32_t message, int id, Handler handler) {
        m_handlers[{message, id}] = std::move(handler);
    }
    // False when nothing handles the notification.
    bool Dispatch(const ControlMessage& message) const {
        const auto it = m_handlers.find({message.message, message.id});
        if (it == m_handlers.end()) return false;
        it->second(message);
        return true;
    }

private:
    std::map<std::pair<std::uint32_t, int>, Handler> m_handlers;
};

// What an editor sees of the window. Everything outlives the editors.
struct EditorContext {
    ParameterModel& model;
    SkinControls& controls;
    DisplayRefresh& refresh;
    EditSink& sink;
    const EditorHooks& hooks;
    TuneState& tune;
    // Owner of the message boxes.
    QWidget* dialogParent = nullptr;
    // A line for the prompt.
    std::function<void(const QString&)> showPrompt;

    SetupRecord& Setup() { return model.CurrentSetup(); }
    int SetupIndex() const { return model.CurrentSetupIndex; }
    int ChannelCount() const { return EffectiveChannelCount(model); }
    // The EQ selection follows pair p: SyncEqSelection(current setup, 3 << 2p).
    void SyncPair(int pair) const;
    void Warn(const QString& text, const QString& caption) const;
    bool AskYesNo(const QString& text, const QString& caption) const;
    void Prompt(const QString& text) const {
        if (showPrompt) showPrompt(text);
    }
    // After a change of whole setups: every setup's image is rebuilt from the model, and the
    // current one, which is the one playing, is sent whole with the levels of `levelChannels`.
    void SendCurrentSetup(const std::vector<int>& levelChannels);
    // After a change of the tune as a whole (an undo, the stored tune for comparison): the
    // amplifier gets what differs from `before`, the noise killer and the channel marks included.
    void SendChanges(const ParameterModel& before);
    // The model, the marks or the image differ from what the amplifier last stored or sent.
    bool Unsaved() const;
    // What the model holds now is what the amplifier holds.
    void MarkSaved();
    int PopupMenu(const std::vector<MenuItem>& items, QPoint screenPoint) const;
};

QString ToQString(const std::string& text);
// "CH 1, CH 3" for the 0-based channels 0 and 2.
QString ChannelListText(const std::vector<int>& channels);

}  // namespace vantrel
