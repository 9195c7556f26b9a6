#include "app/TuneTools.h"

#include <chrono>

#include "app/DisplayRefresh.h"
#include "app/TimeAlignmentDlg.h"
#include "model/TimeAlignment.h"

namespace vantrel {

namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint64_t SourceOf(const ControlMessage& message) {
    return (std::uint64_t{message.message} << 32) | static_cast<std::uint32_t>(message.id);
}

}  // namespace

TuneTools::TuneTools(EditorContext& ctx, std::function<void(bool)> showComparing)
    : clock(SteadyMs), m_ctx(ctx), m_showComparing(std::move(showComparing)) {
    m_history.Reset(m_ctx.model);
}

void TuneTools::BeforeMessage() { LeaveCompare(); }

void TuneTools::AfterMessage(const ControlMessage& message) {
    m_history.Record(m_ctx.model, SourceOf(message), clock());
}

void TuneTools::Record(std::uint64_t source) {
    m_history.Seal();
    m_history.Record(m_ctx.model, source, clock());
    m_history.Seal();
}

void TuneTools::Restart() {
    m_history.Reset(m_ctx.model);
    DropCompare();
}

void TuneTools::AfterChange(const ParameterModel& before) {
    m_ctx.SendChanges(before);
    m_ctx.refresh.RefreshSetupDisplay(m_ctx.SetupIndex());
}

bool TuneTools::Undo() { return Walk(true); }

bool TuneTools::Redo() { return Walk(false); }

bool TuneTools::Walk(bool back) {
    LeaveCompare();
    const ParameterModel before = m_ctx.model;
    const bool done = back ? m_history.Undo(m_ctx.model, clock())
                           : m_history.Redo(m_ctx.model, clock());
    if (!done) {
        m_ctx.Prompt(back ? QStringLiteral("Nothing to undo.") : QStringLiteral("Nothing to redo."));
        return false;
    }
    AfterChange(before);
    m_ctx.Prompt(back ? QStringLiteral("Undone; %1 more step(s) to undo.").arg(m_history.UndoCount())
                      : QStringLiteral("Redone; %1 more step(s) to redo.").arg(m_history.RedoCount()));
    return true;
}

ParameterModel TuneTools::StoredTune() const {
    ParameterModel stored = m_ctx.model;
    const auto s = static_cast<std::size_t>(m_ctx.SetupIndex());
    stored.Setups[s] = m_ctx.tune.savedSetups[s];
    return stored;
}

void TuneTools::ToggleCompare() {
    if (m_comparing) {
        LeaveCompare();
        return;
    }
    if (!m_ctx.sink.Online()) {
        m_ctx.Prompt(QStringLiteral("A/B needs the amplifier: connect first."));
        return;
    }
    const ParameterModel stored = StoredTune();
    m_ctx.sink.Send([&](DeviceImage& image) { return UpdateTuneChange(image, m_ctx.model, stored); });
    m_comparing = true;
    if (m_showComparing) m_showComparing(true);
    m_ctx.Prompt(QStringLiteral("B: the stored setup %1 plays. Press B again for your edits.")
                     .arg(m_ctx.SetupIndex() + 1));
}

void TuneTools::LeaveCompare() {
    if (!m_comparing) return;
    const ParameterModel stored = StoredTune();
    m_ctx.sink.Send([&](DeviceImage& image) { return UpdateTuneChange(image, stored, m_ctx.model); });
    DropCompare();
    m_ctx.Prompt(QStringLiteral("A: your edits play."));
}

void TuneTools::DropCompare() {
    if (!m_comparing) return;
    m_comparing = false;
    if (m_showComparing) m_showComparing(false);
}

void TuneTools::AlignTime() {
    LeaveCompare();
    SetupRecord& setup = m_ctx.Setup();
    const int count = m_ctx.ChannelCount();
    const auto distances =
        m_ctx.hooks.askDistances
            ? m_ctx.hooks.askDistances(setup.Distance, count)
            : TimeAlignmentDlg::Ask(m_ctx.dialogParent, setup.Distance, count, m_ctx.model.MarkIndex);
    if (!distances) return;

    const ParameterModel before = m_ctx.model;
    setup.Distance = *distances;
    const Alignment alignment = AlignDelays(setup.Distance, count);
    ApplyAlignment(setup, alignment);
    AfterChange(before);
    Record(kAlignSource);

    if (!alignment.limited.empty()) {
        QString channels;
        for (const int c : alignment.limited) {
            channels += (channels.isEmpty() ? "CH " : ", CH ") + QString::number(c + 1);
        }
        m_ctx.Warn(channels + QStringLiteral(" lies more than 680 cm nearer than the farthest "
                                             "speaker: its delay stops at 20 ms."),
                   QStringLiteral("Time alignment"));
    }
    m_ctx.Prompt(QStringLiteral("Delays set from the distances."));
}

}  // namespace vantrel
