#include "app/EditorContext.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <string>

#include "app/DisplayRefresh.h"

namespace vantrel {

void EditorContext::SyncPair(int pair) const {
    refresh.SyncEqSelection(model.CurrentSetupIndex, 3 << (2 * pair));
}

void EditorContext::Warn(const QString& text, const QString& caption) const {
    if (hooks.showWarning) {
        hooks.showWarning(text, caption);
        return;
    }
    QMessageBox::warning(dialogParent, caption, text, QMessageBox::Ok);
}

bool EditorContext::AskYesNo(const QString& text, const QString& caption) const {
    if (hooks.askYesNo) return hooks.askYesNo(text, caption);
    return QMessageBox::warning(dialogParent, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

int EditorContext::PopupMenu(const std::vector<MenuItem>& items, QPoint screenPoint) const {
    if (hooks.popupMenu) return hooks.popupMenu(items, screenPoint);
    QMenu menu(dialogParent);
    for (const MenuItem& item : items) {
        QAction* action = menu.addAction(item.text);
        action->setData(item.command);
        action->setEnabled(item.enabled);
    }
    const QAction* chosen = menu.exec(screenPoint);
    return chosen ? chosen->data().toInt() : 0;
}

void EditorContext::SendCurrentSetup(const std::vector<int>& levelChannels) {
    const int current = SetupIndex();
    sink.Send([&](DeviceImage& image) {
        ImagePosts posts;
        for (int s = 0; s < kSetupCount; ++s) {
            ImagePosts rebuilt = RebuildSetupImage(image, model, s);
            if (s == current) posts.Append(rebuilt);
        }
        for (const int c : levelChannels) {
            if (auto level = UpdateLevel(image, model, current, c)) posts.AddLevel(*level);
        }
        return posts;
    });
}

void EditorContext::SendChanges(const ParameterModel& before) {
    sink.Send([&](DeviceImage& image) { return UpdateTuneChange(image, before, model); });
    if (before.ANS != model.ANS) sink.SetNoiseKiller(model.ANS);
    for (int c = 0; c < kImageChannelCount; ++c) {
        const auto mark = model.MarkIndex[static_cast<std::size_t>(c)];
        if (mark == before.MarkIndex[static_cast<std::size_t>(c)]) continue;
        sink.WriteChannelAssign(c, static_cast<std::uint8_t>(mark));
        tune.marksChanged = true;
    }
}

bool EditorContext::Unsaved() const {
    return tune.marksChanged || model.ANS != tune.savedAns ||
           !SameAmplifierTune(model.Setups, tune.savedSetups, EffectiveChannelCount(model)) ||
           sink.ImageUnsaved();
}

void EditorContext::MarkSaved() {
    tune.savedSetups = model.Setups;
    tune.savedAns = model.ANS;
    tune.marksChanged = false;
}

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

QString ChannelListText(const std::vector<int>& channels) {
    QString text;
    for (const int c : channels)
        text += (text.isEmpty() ? "CH " : ", CH ") + QString::number(c + 1);
    return text;
}

}  // namespace vantrel
