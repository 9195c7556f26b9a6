#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <optional>

#include "model/ParameterModel.h"

class QDoubleSpinBox;
class QLabel;

namespace vantrel {

// The time alignment dialog: one distance box per channel (cm from the speaker to the listening
// position, 0 for a channel not measured) and, beside it, the delay the channel will get.
class TimeAlignmentDlg : public QDialog {
public:
    TimeAlignmentDlg(const std::array<float, kChannelCount>& distances, int count,
                     const std::array<std::int32_t, kChannelCount>& marks,
                     QWidget* parent = nullptr);

    std::array<float, kChannelCount> Distances() const;
    QDoubleSpinBox* DistanceBox(int c) const { return m_boxes[static_cast<std::size_t>(c)]; }
    QString DelayText(int c) const;

    // Runs the dialog; the distances on OK, nothing on Cancel.
    static std::optional<std::array<float, kChannelCount>> Ask(
        QWidget* parent, const std::array<float, kChannelCount>& distances, int count,
        const std::array<std::int32_t, kChannelCount>& marks);

private:
    void ShowDelays();

    int m_count;
    std::array<float, kChannelCount> m_start{};
    std::array<QDoubleSpinBox*, kChannelCount> m_boxes{};
    std::array<QLabel*, kChannelCount> m_delays{};
};

}  // namespace vantrel
