#include "app/ExchangeCommands.h"

#include <QFileDialog>

#include "app/DisplayRefresh.h"
#include "app/TuneTools.h"
#include "model/TuneExchange.h"
#include "platform/FileText.h"

namespace vantrel {

namespace {

const QString kFilterFiles = QStringLiteral("Filter text (*.txt *.cfg);;All files (*)");

QString PathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

ExchangeCommands::ExchangeCommands(EditorContext& ctx, TuneTools& tools)
    : m_ctx(ctx), m_tools(tools) {}

int ExchangeCommands::ShownEqChannel() const {
    return DisplayRefresh::ShownEqChannel(m_ctx.Setup().GroupEQFlag);
}

std::vector<int> ExchangeCommands::EqTargets() const {
    std::vector<int> targets;
    for (int c = 0; c < m_ctx.ChannelCount(); ++c) {
        if (m_ctx.Setup().GroupEQFlag & (1 << c)) targets.push_back(c);
    }
    if (targets.empty()) targets.push_back(ShownEqChannel());
    return targets;
}

std::optional<std::filesystem::path> ExchangeCommands::Choose(bool save, const QString& caption,
                                                              const QString& filter) const {
    if (m_ctx.hooks.chooseFile) return m_ctx.hooks.chooseFile(save, caption, filter);
    const QString path =
        save ? QFileDialog::getSaveFileName(m_ctx.dialogParent, caption, {}, filter)
             : QFileDialog::getOpenFileName(m_ctx.dialogParent, caption, {}, filter);
    if (path.isEmpty()) return std::nullopt;
    return std::filesystem::path(path.toStdString());
}

bool ExchangeCommands::Write(const std::filesystem::path& path, const std::string& text) const {
    // Written whole or not at all: an earlier file of the name stays until the new one is done.
    const bool ok = WriteFileAtomic(path, text);
    if (ok) {
        m_ctx.Prompt(QStringLiteral("Written to %1").arg(PathText(path)));
    } else {
        m_ctx.Warn(QStringLiteral("Cannot write %1").arg(PathText(path)), QStringLiteral("Export"));
    }
    return ok;
}

void ExchangeCommands::ImportEq(bool bands) {
    m_tools.LeaveCompare();
    const std::vector<int> targets = EqTargets();
    const QString caption =
        QStringLiteral("Import filters into the %1 of %2")
            .arg(bands ? "graphic bands" : "EQ points", ChannelListText(targets));
    const auto path = Choose(false, caption, kFilterFiles);
    if (!path) return;
    const TextRead read = ReadTextFile(*path, kMaxFilterFileBytes);
    if (!read.text) {
        m_ctx.Warn(ToQString(read.error), QStringLiteral("Import"));
        return;
    }
    const std::string_view text = *read.text;
    const EqFileFormat format = GuessEqFileFormat(text);
    const EqImportTarget target = bands ? EqImportTarget::Bands : EqImportTarget::Points;

    const ParameterModel before = m_ctx.model;
    EqImport result;
    for (const int c : targets) {
        ChannelRecord& ch = m_ctx.Setup().Channels[static_cast<std::size_t>(c)];
        result = ImportChannelEq(text, format, ch, target, m_ctx.model.Mode);
        if (result.applied == 0) break;
        ch = result.channel;
    }
    QString messages;
    for (const std::string& line : result.messages) messages += QString::fromStdString(line) + "\n";
    if (result.applied == 0) {
        m_ctx.Warn(
            QStringLiteral("Nothing in %1 could be used.\n%2").arg(PathText(*path), messages),
            QStringLiteral("Import"));
        return;
    }
    // An EQ page edit like any other: sent, shown, and one step to undo.
    m_ctx.SendChanges(before);
    m_ctx.refresh.RefreshSetupDisplay(m_ctx.SetupIndex());
    m_tools.Record(TuneTools::kImportSource);
    m_ctx.Prompt(QStringLiteral("%1 filter(s) imported into %2")
                     .arg(result.applied)
                     .arg(ChannelListText(targets)));
    if (!messages.isEmpty()) m_ctx.Warn(messages.trimmed(), QStringLiteral("Import"));
}

void ExchangeCommands::ExportEq(bool apo) {
    const int c = ShownEqChannel();
    const auto path =
        Choose(true, QStringLiteral("Export the EQ of CH %1").arg(c + 1), kFilterFiles);
    if (!path) return;
    const std::string title =
        "Vantrel setup " + std::to_string(m_ctx.SetupIndex() + 1) + " CH " + std::to_string(c + 1);
    Write(*path, ExportChannelEq(m_ctx.Setup().Channels[static_cast<std::size_t>(c)],
                                 apo ? EqFileFormat::Apo : EqFileFormat::Rew, title));
}

void ExchangeCommands::ExportSetup() {
    const auto path = Choose(true, QStringLiteral("Export setup %1").arg(m_ctx.SetupIndex() + 1),
                             QStringLiteral("YAML configuration (*.yml *.yaml);;All files (*)"));
    if (!path) return;
    const std::string title = "Vantrel setup " + std::to_string(m_ctx.SetupIndex() + 1);
    Write(*path, ExportCamillaDsp(m_ctx.Setup(), m_ctx.ChannelCount(), title));
}

}  // namespace vantrel
