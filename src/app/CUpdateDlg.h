#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

#include "model/DeviceCatalogue.h"
#include "model/DeviceSelection.h"

class QComboBox;
class QPushButton;

namespace vantrel {

// "Device Select": the user picks the amplifier model before a firmware update, from a Model
// list narrowed by the Channels and Type lists. The rules live in DeviceSelection; this shows
// them.
class CUpdateDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 137;
    static constexpr int kModelListId = 1314;
    static constexpr int kChannelsListId = 1317;
    static constexpr int kTypeListId = 1318;

    // Nothing for `catalogue` means the catalogue file is missing: the dialog then cancels
    // without showing itself.
    CUpdateDlg(std::optional<DeviceCatalogue> catalogue, std::uint16_t presetModelCode,
               QWidget* parent = nullptr);

    // Modal. The catalogue index of the chosen model; nothing for Cancel, a missing catalogue,
    // or OK while no model is listed.
    std::optional<std::uint8_t> Run();
    int exec() override;

    // After OK: the chosen index, as Run returns it.
    std::optional<std::uint8_t> ChosenIndex() const { return m_chosen; }
    // The result byte of the original interface: the index, or 255 for Cancel.
    std::uint8_t ResultByte() const { return m_chosen.value_or(DeviceSelection::Cancel()); }

    QComboBox* ModelList() const { return m_models; }
    QComboBox* ChannelsList() const { return m_channels; }
    QComboBox* TypeList() const { return m_types; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

private:
    void OnModel(int index);
    void OnChannels(int index);
    void OnType(int index);
    void OnOk();
    void OnCancel();
    // Shows the selection's state; the Model list's items only when `refillModels`.
    void ShowSelection(bool refillModels);

    std::optional<DeviceSelection> m_selection;
    std::optional<std::uint8_t> m_chosen;
    QComboBox* m_models;
    QComboBox* m_channels;
    QComboBox* m_types;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_showing = false;  // the lists are being set from the selection, not by the user
};

}  // namespace vantrel
