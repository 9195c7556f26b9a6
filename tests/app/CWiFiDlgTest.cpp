#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "app/CWiFiDlg.h"
#include "link/WlanList.h"
#include "support/FakeWifiSource.h"

namespace vantrel {
namespace {

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

// Lets the closed dialog's deferred deletion happen.
void ProcessDeletions() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class CWiFiDlgTest : public testing::Test {
protected:
    CWiFiDlgTest() {
        source.interfaces = {{"if-a", "Wireless A"}, {"if-b", "Wireless B"}};
        source.networks["if-a"] = {"Home", "AmpLink", "Home", "Caf\xE9"};
        source.networks["if-b"] = {"Office", "Office", "AmpLink"};
    }

    // A dialog as the main window opens it; the host answers "Find AP" the way the main window
    // does.
    QPointer<CWiFiDlg> Open() {
        list.EnumInterfaces();
        auto* dialog = new CWiFiDlg(list, [this](const ControlMessage& m) {
            messages.push_back(m);
            if (m.message == UM_WIFI_SCAN) {
                list.RescanInterface(static_cast<std::int32_t>(m.wParam));
                if (m_dialog) m_dialog->ShowNetworks();
            }
        });
        m_dialog = dialog;
        dialog->ShowLists();
        dialog->show();
        return dialog;
    }

    test::FakeWifiSource source;
    WlanList list{source};
    std::vector<ControlMessage> messages;

private:
    QPointer<CWiFiDlg> m_dialog;
};

TEST_F(CWiFiDlgTest, ListsInterfacesAndNetworksAndSeleteReportsTheChoice) {
    QPointer<CWiFiDlg> dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "WiFi Connection Control");
    EXPECT_EQ(Texts(dialog->DeviceList()), QStringList({"Wireless A", "Wireless B"}));
    EXPECT_EQ(dialog->DeviceList()->currentRow(), 0);
    // Each network once; the name's bytes shown as characters of the same code.
    EXPECT_EQ(Texts(dialog->ApList()), QStringList({"Home", "AmpLink", QString::fromUtf8("Café")}));
    EXPECT_EQ(dialog->ApList()->currentRow(), 0);
    EXPECT_EQ(list.ChosenInterface(), 0);

    dialog->ApList()->setCurrentRow(1);
    QTest::mouseClick(dialog->SeleteButton(), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, UM_WIFI_CONNECT);
    EXPECT_EQ(messages[0].id, CWiFiDlg::kSeleteId);
    EXPECT_EQ(messages[0].wParam, 0);
    EXPECT_EQ(messages[0].lParam, 1);
    ProcessDeletions();
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(CWiFiDlgTest, FindApRescansTheDeviceLastSelected) {
    QPointer<CWiFiDlg> dialog = Open();
    dialog->DeviceList()->setCurrentRow(1);
    QTest::mouseClick(dialog->FindApButton(), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, UM_WIFI_SCAN);
    EXPECT_EQ(messages[0].id, CWiFiDlg::kFindApId);
    EXPECT_EQ(messages[0].wParam, 1);
    EXPECT_EQ(Texts(dialog->ApList()), QStringList({"Office", "AmpLink"}));
    EXPECT_EQ(dialog->ApList()->currentRow(), 0);

    // Again without touching the device list: the same interface.
    source.networks["if-b"] = {"Lab"};
    QTest::mouseClick(dialog->FindApButton(), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].wParam, 1);
    EXPECT_EQ(Texts(dialog->ApList()), QStringList({"Lab"}));
    EXPECT_EQ(source.scanRequests, std::vector<std::string>({"if-a", "if-b", "if-b"}));

    QTest::mouseClick(dialog->ExitButton(), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 2u);  // Exit reports nothing
    ProcessDeletions();
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(CWiFiDlgTest, ReopeningSelectsTheChosenNetworkByNameWhereverItIsNow) {
    list.EnumInterfaces();
    list.ScanNetworks("if-a");
    list.RemoveDuplicates();
    list.SetChosenNetwork(1);  // "AmpLink"
    source.networks["if-a"] = {"New", "Home", "amplink-2", "AmpLink"};

    QPointer<CWiFiDlg> dialog = Open();
    // The first name beginning with the chosen one, ignoring case.
    EXPECT_EQ(dialog->ApList()->currentRow(), 2);
    EXPECT_EQ(list.ChosenNetwork(), 2);
    dialog->close();

    // Gone from the scan: nothing selected, nothing chosen.
    source.networks["if-a"] = {"New", "Home"};
    dialog = Open();
    EXPECT_EQ(dialog->ApList()->currentRow(), -1);
    EXPECT_EQ(list.ChosenNetwork(), -1);
    dialog->close();
    ProcessDeletions();
}

TEST_F(CWiFiDlgTest, WithoutInterfaceSaysSoAndOffersNothingToChoose) {
    source.interfaces.clear();
    QPointer<CWiFiDlg> dialog = Open();
    EXPECT_EQ(Texts(dialog->DeviceList()), QStringList({"No wireless interface found"}));
    EXPECT_FALSE(dialog->DeviceList()->item(0)->flags() & Qt::ItemIsSelectable);
    EXPECT_EQ(dialog->DeviceList()->currentRow(), -1);
    EXPECT_EQ(dialog->ApList()->count(), 0);

    QTest::mouseClick(dialog->SeleteButton(), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wParam, -1);
    EXPECT_EQ(messages[0].lParam, -1);
    ProcessDeletions();
}

}  // namespace
}  // namespace vantrel
