#pragma once

#include <QDialog>
#include <functional>

#include "controls/ControlHost.h"

class QListWidget;
class QPushButton;

namespace vantrel {

class WlanList;

// "WiFi Connection Control": the wireless interfaces ("Device") and the networks the chosen one
// sees ("AP"). "Find AP" asks the host for a rescan (UM_WIFI_SCAN), "Selete" hands the choice to
// the host (UM_WIFI_CONNECT) and closes, "Exit" closes. Modeless, without an owner, and deleted
// when closed, so the host keeps it in a QPointer.
class CWiFiDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kDialogId = 136;
    static constexpr int kDeviceListId = 1002;
    static constexpr int kApListId = 1003;
    static constexpr int kFindApId = 3;
    static constexpr int kSeleteId = 1;
    static constexpr int kExitId = 2;

    // Receives the dialog's messages, synchronously; it must not delete the dialog.
    using Reporter = std::function<void(const ControlMessage&)>;

    CWiFiDlg(WlanList& list, Reporter reporter, QWidget* parent = nullptr);

    // Fills both lists from the (already enumerated) list: every interface, interface 0 chosen
    // and scanned, its networks without duplicates. An access point chosen before is selected
    // again by its name, wherever the new scan puts it, and becomes the chosen one; otherwise
    // entry 0 is selected.
    void ShowLists();
    // Shows the list's networks afresh with entry 0 selected: the host's answer to UM_WIFI_SCAN.
    void ShowNetworks();

    // Device index as last selected by the user (or by ShowLists); what "Find AP" rescans.
    int DeviceIndex() const { return m_deviceIndex; }

    QListWidget* DeviceList() const { return m_devices; }
    QListWidget* ApList() const { return m_networks; }
    QPushButton* FindApButton() const { return m_findAp; }
    QPushButton* SeleteButton() const { return m_selete; }
    QPushButton* ExitButton() const { return m_exit; }

private:
    void FillNetworks();
    void OnFindAp();
    void OnSelete();
    void Report(std::uint32_t message, int id, int wParam, int lParam);

    WlanList& m_list;
    Reporter m_reporter;
    QListWidget* m_devices;
    QListWidget* m_networks;
    QPushButton* m_findAp;
    QPushButton* m_selete;
    QPushButton* m_exit;
    int m_deviceIndex = 0;
};

}  // namespace vantrel
