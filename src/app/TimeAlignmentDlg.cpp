#include "app/TimeAlignmentDlg.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "model/TimeAlignment.h"

namespace vantrel {

TimeAlignmentDlg::TimeAlignmentDlg(const std::array<float, kChannelCount>& distances, int count,
                                   const std::array<std::int32_t, kChannelCount>& marks,
                                   QWidget* parent)
    : QDialog(parent), m_count(std::clamp(count, 0, kChannelCount)), m_start(distances) {
    setWindowTitle(QStringLiteral("Time alignment"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Distance from each speaker to the listening position.\n"
                       "The farthest speaker gets no delay; leave 0 for a channel not to align."),
        this));
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    for (int c = 0; c < m_count; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const int mark = std::clamp<std::int32_t>(marks[i], 0, kChannelMarkCount - 1);
        QString name = QStringLiteral("CH %1").arg(c + 1);
        if (mark > 0)
            name += QStringLiteral("  ") + ChannelMarkList[static_cast<std::size_t>(mark)];
        grid->addWidget(new QLabel(name, this), c, 0);
        auto* box = new QDoubleSpinBox(this);
        box->setRange(0.0, kMaxDistanceCm);
        box->setDecimals(1);
        box->setSuffix(QStringLiteral(" cm"));
        box->setSpecialValueText(QStringLiteral("not measured"));
        box->setValue(std::clamp(distances[i], 0.0f, kMaxDistanceCm));
        grid->addWidget(box, c, 1);
        m_boxes[i] = box;
        m_delays[i] = new QLabel(this);
        m_delays[i]->setMinimumWidth(90);
        grid->addWidget(m_delays[i], c, 2);
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] { ShowDelays(); });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    ShowDelays();
}

std::array<float, kChannelCount> TimeAlignmentDlg::Distances() const {
    std::array<float, kChannelCount> d = m_start;
    for (int c = 0; c < m_count; ++c) {
        const auto i = static_cast<std::size_t>(c);
        d[i] = static_cast<float>(m_boxes[i]->value());
    }
    return d;
}

QString TimeAlignmentDlg::DelayText(int c) const {
    if (c < 0 || c >= m_count) return {};
    return m_delays[static_cast<std::size_t>(c)]->text();
}

void TimeAlignmentDlg::ShowDelays() {
    const Alignment alignment = AlignDelays(Distances(), m_count);
    for (int c = 0; c < m_count; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const auto& delay = alignment.delayMs[i];
        QString text = delay ? QString::asprintf("%.2f ms", static_cast<double>(*delay)) : "-";
        if (std::find(alignment.limited.begin(), alignment.limited.end(), c) !=
            alignment.limited.end()) {
            text += QStringLiteral(" (limit)");
        }
        m_delays[i]->setText(text);
    }
}

std::optional<std::array<float, kChannelCount>> TimeAlignmentDlg::Ask(
    QWidget* parent, const std::array<float, kChannelCount>& distances, int count,
    const std::array<std::int32_t, kChannelCount>& marks) {
    TimeAlignmentDlg dialog(distances, count, marks, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Distances();
}

}  // namespace vantrel
