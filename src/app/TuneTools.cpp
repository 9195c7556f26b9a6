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
    const bool done =
        back ? m_history.Undo(m_ctx.model, clock()) : m_history.Redo(m_ctx.model, clock());
    if (!done) {
        m_ctx.Prompt(back ? QStringLiteral("Nothing to undo.")
                          : QStringLiteral("Nothing to redo."));
        return false;
    }
    AfterChange(before);
    m_ctx.Prompt(
        back ? QStringLiteral("Undone; %1 more step(s) to undo.").arg(m_history.UndoCount())
             : QStringLiteral("Redone; %1 more step(s) to redo.").arg(m_history.RedoCount()));
    return true;
}

void TuneTools::ToggleCompare() {
    if (m_compared) {
        LeaveCompare();
        return;
    }
    if (!m_ctx.sink.Online()) {
        m_ctx.Prompt(QStringLiteral("A/B needs the amplifier: connect first."));
        return;
    }
    // The worker reads the image for a store; the stored setup must not be what it reads.
    if (m_ctx.tune.pendingStore) {
        m_ctx.Prompt(QStringLiteral("A/B waits for the store to finish."));
        return;
    }
    ParameterModel stored = m_ctx.model;
    const auto s = static_cast<std::size_t>(m_ctx.SetupIndex());
    stored.Setups[s] = m_ctx.tune.savedSetups[s];
    m_ctx.sink.Send(
        [&](DeviceImage& image) { return UpdateTuneChange(image, m_ctx.model, stored); });
    m_compared = std::move(stored);
    if (m_showComparing) m_showComparing(true);
    m_ctx.Prompt(QStringLiteral("B: the stored setup %1 plays. Press B again for your edits.")
                     .arg(m_ctx.SetupIndex() + 1));
}

void TuneTools::LeaveCompare() {
    if (!m_compared) return;
    const ParameterModel compared = std::move(*m_compared);
    m_ctx.sink.Send(
        [&](DeviceImage& image) { return UpdateTuneChange(image, compared, m_ctx.model); });
    DropCompare();
    m_ctx.Prompt(QStringLiteral("A: your edits play."));
}

void TuneTools::DropCompare() {
    if (!m_compared) return;
    m_compared.reset();
    if (m_showComparing) m_showComparing(false);
}

void TuneTools::AlignTime() {
    LeaveCompare();
    // A bridged amplifier plays one channel on both outputs: there is nothing to align.
    if (m_ctx.model.ChannelNum == 1) {
        m_ctx.Warn(QStringLiteral("Time alignment needs two channels or more."),
                   QStringLiteral("Time alignment"));
        return;
    }
    SetupRecord& setup = m_ctx.Setup();
    const int count = m_ctx.ChannelCount();
    const auto distances = m_ctx.hooks.askDistances
                               ? m_ctx.hooks.askDistances(setup.Distance, count)
                               : TimeAlignmentDlg::Ask(m_ctx.dialogParent, setup.Distance, count,
                                                       m_ctx.model.MarkIndex);
    if (!distances) return;

    const ParameterModel before = m_ctx.model;
    setup.Distance = *distances;
    const Alignment alignment = AlignDelays(setup.Distance, count);
    const std::vector<int> trimDropped = ApplyAlignment(setup, alignment);
    AfterChange(before);
    Record(kAlignSource);

    QString notes;
    if (!alignment.limited.empty()) {
        notes += ChannelListText(alignment.limited) +
                 QStringLiteral(
                     ": more than 680 cm nearer than the farthest speaker, the delay "
                     "stops at 20 ms.\n");
    }
    if (!trimDropped.empty()) {
        notes += ChannelListText(trimDropped) +
                 QStringLiteral(
                     ": the delay section is now on; its trim, unheard while it was "
                     "off, is 0 dB.\n");
    }
    if (!notes.isEmpty()) m_ctx.Warn(notes.trimmed(), QStringLiteral("Time alignment"));
    m_ctx.Prompt(QStringLiteral("Delays set from the distances."));
}

}  // namespace vantrel
