#include "app/CWiFiDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "link/WlanList.h"

namespace vantrel {

namespace {

// Dark like the main window's skin.
constexpr const char* kStyle =
    "QDialog { background: #1d1f22; }"
    "QLabel { color: #c8ccd0; }"
    "QListWidget { background: #121315; color: #e6e8ea; border: 1px solid #3a3e44; }"
    "QListWidget::item:selected { background: #2d6cb0; color: #ffffff; }"
    "QListWidget::item:disabled { color: #8a8f96; }"
    "QPushButton { background: #2c2f34; color: #e6e8ea; border: 1px solid #4a4f56;"
    " padding: 4px 14px; min-width: 64px; }"
    "QPushButton:hover { background: #363a40; }"
    "QPushButton:pressed { background: #24272b; }"
    "QPushButton:default { border-color: #2d6cb0; }";

// Network names are bytes; each one is shown as the character of the same code.
QString NetworkText(const std::string& name) {
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

CWiFiDlg::CWiFiDlg(WlanList& list, Reporter reporter, QWidget* parent)
    : QDialog(parent),
      m_list(list),
      m_reporter(std::move(reporter)),
      m_devices(new QListWidget(this)),
      m_networks(new QListWidget(this)),
      m_findAp(new QPushButton(QStringLiteral("Find AP"), this)),
      m_selete(new QPushButton(QStringLiteral("Selete"), this)),
      m_exit(new QPushButton(QStringLiteral("Exit"), this)) {
    setWindowTitle(QStringLiteral("WiFi Connection Control"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    setStyleSheet(QString::fromLatin1(kStyle));

    m_devices->setSelectionMode(QAbstractItemView::SingleSelection);
    m_networks->setSelectionMode(QAbstractItemView::SingleSelection);
    m_devices->setMaximumHeight(72);
    m_selete->setDefault(true);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_findAp);
    buttons->addWidget(m_selete);
    buttons->addWidget(m_exit);
    buttons->addStretch();
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Device"), this), 0, 0);
    layout->addWidget(m_devices, 1, 0);
    layout->addWidget(new QLabel(QStringLiteral("AP"), this), 2, 0);
    layout->addWidget(m_networks, 3, 0);
    layout->addLayout(buttons, 1, 1, 3, 1);
    resize(360, 300);

    connect(m_devices, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) m_deviceIndex = row;
    });
    connect(m_findAp, &QPushButton::clicked, this, &CWiFiDlg::OnFindAp);
    connect(m_selete, &QPushButton::clicked, this, &CWiFiDlg::OnSelete);
    connect(m_exit, &QPushButton::clicked, this, &QDialog::reject);
}

void CWiFiDlg::ShowLists() {
    std::optional<std::string> remembered;
    if (m_list.ChosenNetwork() >= 0) remembered = m_list.NetworkName(m_list.ChosenNetwork());

    m_devices->clear();
    for (std::int32_t i = 0; i < m_list.InterfaceCount(); ++i) {
        m_devices->addItem(QString::fromStdString(m_list.InterfaceDescription(i)));
    }
    if (m_list.InterfaceCount() == 0) {
        // A line that cannot be chosen, so the empty dialog does not look broken.
        auto* note = new QListWidgetItem(QStringLiteral("No wireless interface found"));
        note->setFlags(Qt::NoItemFlags);
        m_devices->addItem(note);
    } else {
        m_devices->setCurrentRow(0);
    }
    m_deviceIndex = 0;

    m_list.SetChosenInterface(0);
    m_list.ScanNetworks(m_list.InterfaceId(0));
    m_list.RemoveDuplicates();
    FillNetworks();
    if (!remembered) {
        m_networks->setCurrentRow(0);
        return;
    }
    const std::int32_t match = m_list.FindNetwork(*remembered);
    m_networks->setCurrentRow(match);
    m_list.SetChosenNetwork(match);
}

void CWiFiDlg::ShowNetworks() {
    FillNetworks();
    m_networks->setCurrentRow(0);
}

void CWiFiDlg::FillNetworks() {
    m_networks->clear();
    for (std::int32_t i = 0; i < m_list.NetworkCount(); ++i) {
        m_networks->addItem(NetworkText(m_list.NetworkName(i)));
    }
}

void CWiFiDlg::Report(std::uint32_t message, int id, int wParam, int lParam) {
    if (!m_reporter) return;
    ControlMessage m;
    m.message = message;
    m.id = id;
    m.wParam = wParam;
    m.lParam = lParam;
    m_reporter(m);
}

void CWiFiDlg::OnFindAp() {
    Report(UM_WIFI_SCAN, kFindApId, m_deviceIndex, m_networks->currentRow());
}

void CWiFiDlg::OnSelete() {
    Report(UM_WIFI_CONNECT, kSeleteId, m_devices->currentRow(), m_networks->currentRow());
    accept();
}

}  // namespace vantrel
