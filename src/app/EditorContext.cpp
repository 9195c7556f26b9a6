#include "app/EditorContext.h"

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

std::vector<int> PairTargets(std::uint8_t groupFlag, int pair) {
    std::vector<int> targets;
    for (int c = 2 * pair; c <= 2 * pair + 1; ++c) {
        if (((groupFlag >> c) & 1u) != 0) targets.push_back(c);
    }
    return targets;
}

int ShownStripChannel(std::uint8_t groupFlag, int pair) {
    return ((groupFlag >> (2 * pair + 1)) & 1u) != 0 ? 2 * pair + 1 : 2 * pair;
}

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

}  // namespace vantrel
