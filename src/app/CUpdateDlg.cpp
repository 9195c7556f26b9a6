#include "app/CUpdateDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <utility>

namespace vantrel {

namespace {

// Dark like the main window's skin.
constexpr const char* kStyle =
    "QDialog { background: #1d1f22; }"
    "QLabel { color: #c8ccd0; }"
    "QComboBox { background: #121315; color: #e6e8ea; border: 1px solid #3a3e44;"
    " padding: 2px 6px; min-width: 160px; }"
    "QComboBox QAbstractItemView { background: #121315; color: #e6e8ea;"
    " selection-background-color: #2d6cb0; selection-color: #ffffff; }"
    "QPushButton { background: #2c2f34; color: #e6e8ea; border: 1px solid #4a4f56;"
    " padding: 4px 14px; min-width: 64px; }"
    "QPushButton:hover { background: #363a40; }"
    "QPushButton:pressed { background: #24272b; }"
    "QPushButton:default { border-color: #2d6cb0; }";

}  // namespace

CUpdateDlg::CUpdateDlg(std::optional<DeviceCatalogue> catalogue, std::uint16_t presetModelCode,
                       QWidget* parent)
    : QDialog(parent),
      m_models(new QComboBox(this)),
      m_channels(new QComboBox(this)),
      m_types(new QComboBox(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Device Select"));
    setModal(true);
    setStyleSheet(QString::fromLatin1(kStyle));
    m_ok->setDefault(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Model"), this), 0, 0);
    layout->addWidget(m_models, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Channels"), this), 1, 0);
    layout->addWidget(m_channels, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("Type"), this), 2, 0);
    layout->addWidget(m_types, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons, 3, 0, 1, 2);

    for (const ChannelsListItem& item : kChannelsList) {
        m_channels->addItem(QString::fromLatin1(item.Text));
    }
    for (const char* type : kTypeList) m_types->addItem(QString::fromLatin1(type));

    if (catalogue) {
        m_selection.emplace(std::move(*catalogue), presetModelCode);
        ShowSelection(true);
    }

    connect(m_models, &QComboBox::currentIndexChanged, this, &CUpdateDlg::OnModel);
    connect(m_channels, &QComboBox::currentIndexChanged, this, &CUpdateDlg::OnChannels);
    connect(m_types, &QComboBox::currentIndexChanged, this, &CUpdateDlg::OnType);
    connect(m_ok, &QPushButton::clicked, this, &CUpdateDlg::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &CUpdateDlg::OnCancel);
}

int CUpdateDlg::exec() {
    m_chosen.reset();
    if (!m_selection) {
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

std::optional<std::uint8_t> CUpdateDlg::Run() {
    if (exec() != QDialog::Accepted) return std::nullopt;
    return m_chosen;
}

void CUpdateDlg::ShowSelection(bool refillModels) {
    m_showing = true;
    if (refillModels) {
        m_models->clear();
        for (const std::string& name : m_selection->ModelListNames()) {
            m_models->addItem(QString::fromStdString(name));
        }
    }
    m_models->setCurrentIndex(m_selection->ModelListIndex());
    m_channels->setCurrentIndex(m_selection->ChannelsListIndex());
    m_types->setCurrentIndex(m_selection->TypeListIndex());
    m_showing = false;
}

void CUpdateDlg::OnModel(int index) {
    if (m_showing || !m_selection) return;
    if (m_selection->SelectModel(index)) ShowSelection(false);
}

void CUpdateDlg::OnChannels(int index) {
    if (m_showing || !m_selection) return;
    if (m_selection->SelectChannels(index)) ShowSelection(true);
}

void CUpdateDlg::OnType(int index) {
    if (m_showing || !m_selection) return;
    if (m_selection->SelectType(index)) ShowSelection(true);
}

void CUpdateDlg::OnOk() {
    m_chosen = m_selection ? m_selection->Ok() : std::nullopt;
    accept();
}

void CUpdateDlg::OnCancel() {
    m_chosen.reset();
    reject();
}

}  // namespace vantrel
