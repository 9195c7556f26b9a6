#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <utility>

#include "controls/ControlHost.h"
#include "model/ParameterModel.h"
#include "skin/SkinLayout.h"
#include "skin/SkinReader.h"

namespace vantrel {

class CSpectrumDisplya;

// The main window: two pages of skinned controls over a background picture each.
class VantrelDlg : public QWidget, public ControlHost {
public:
    // Pictures and the skin file are read from `dataFolder`. A missing skin leaves an empty window
    // whose controls exist with zero size.
    explicit VantrelDlg(const std::filesystem::path& dataFolder, QWidget* parent = nullptr);
    ~VantrelDlg() override;

    void OnControlMessage(const ControlMessage& message) override;

    void ShowEqPage();
    void ShowMainPage();
    bool IsEqPageShown() const { return m_eqPageShown; }
    // The zoom buttons: the spectrum display window with the current setup.
    void ShowSpectrumWindow();
    // Made hidden with the window, gone once the window has closed.
    CSpectrumDisplya* SpectrumWindow() const { return m_spectrumWindow.get(); }

    const SkinControls& Controls() const { return m_controls; }
    ParameterModel& Model() { return m_model; }
    const SkinBackgrounds& Backgrounds() const { return m_backgrounds; }
    const QImage& MainBackground() const { return m_mainBackground; }
    const QImage& EqBackground() const { return m_eqBackground; }
    const QImage& CurrentBackground() const {
        return m_eqPageShown ? m_eqBackground : m_mainBackground;
    }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    using Handler = void (VantrelDlg::*)(const ControlMessage&);
    using HandlerKey = std::pair<std::uint32_t, int>;  // message number, control identifier

    void AddHandler(std::uint32_t message, int id, Handler handler);
    void ShowPage(bool eqPage);
    void OnShowEqPage(const ControlMessage& message);
    void OnShowMainPage(const ControlMessage& message);
    void OnShowSpectrum(const ControlMessage& message);
    // Points the response curves, the spectrum window's included, at the current setup.
    void PointCurvesAtCurrentSetup();
    // Shows the current setup in every control; filled in with the display refresh.
    void RefreshSetupDisplay();

    ParameterModel m_model;
    SkinBackgrounds m_backgrounds;
    QImage m_mainBackground;
    QImage m_eqBackground;
    bool m_eqPageShown = false;
    SkinControls m_controls;
    std::map<HandlerKey, Handler> m_handlers;
    // Declared after the model: it reads the model until it is gone.
    std::unique_ptr<CSpectrumDisplya> m_spectrumWindow;
};

}  // namespace vantrel
