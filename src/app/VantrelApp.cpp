#include "app/VantrelApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QColor>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QStyleFactory>
#include <cstring>

#include "app/VantrelDlg.h"
#include "curves/CSpectrumDisplya.h"
#include "platform/DataFolder.h"
#include "skin/SkinColours.h"

// The build passes the project's version; a build that does not says so instead of guessing.
#ifndef VANTREL_VERSION
#define VANTREL_VERSION "(version unknown)"
#endif

namespace vantrel {

namespace {

bool HasArgument(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) return true;
    }
    return false;
}

// Pictures of both pages and of the spectrum window for documentation and for checking a skin
// by eye; no display needed.
int SaveScreenshots(VantrelDlg& window, const QString& folder) {
    if (window.size().isEmpty()) {
        qWarning("vantrel: the window is empty: no skin in the data folder?");
        return 1;
    }
    if (!QDir().mkpath(folder)) {
        qWarning("vantrel: cannot create %s", qPrintable(folder));
        return 1;
    }
    const QDir dir(folder);
    bool saved = window.grab().save(dir.filePath("main.png"));
    window.ShowEqPage();
    saved = window.grab().save(dir.filePath("eq.png")) && saved;
    window.ShowSpectrumWindow();
    CSpectrumDisplya* spectrum = window.SpectrumWindow();
    if (!spectrum || spectrum->size().isEmpty()) {
        qWarning("vantrel: the spectrum window is empty: no \"SpBkg\" picture in the skin?");
        return 1;
    }
    saved = spectrum->grab().save(dir.filePath("spectrum.png")) && saved;
    if (!saved) {
        qWarning("vantrel: cannot write the screenshots to %s", qPrintable(folder));
        return 1;
    }
    return 0;
}

struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption dataDir{"data-dir", "Folder holding INI/ and PNGRes/.", "DIR"};
    QCommandLineOption adaptor{"adaptor", "Adaptor address HOST[:PORT].", "HOST[:PORT]"};
    QCommandLineOption screenshot{
        "screenshot",
        "Save both pages and the spectrum window as DIR/main.png, DIR/eq.png and "
        "DIR/spectrum.png, then exit.",
        "DIR"};

    CommandLine() {
        parser.setApplicationDescription("Vantrel DSP amplifier tuning tool");
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(dataDir);
        parser.addOption(adaptor);
        parser.addOption(screenshot);
    }
};

void NameApplication() {
    QCoreApplication::setApplicationName("vantrel");
    QCoreApplication::setApplicationVersion(VANTREL_VERSION);
}

// Help and version need no display, but a QApplication aborts in the platform plug-in without
// one: they are answered by a plain core application, which exits once they are printed.
void AnswerHelpOrVersion(int argc, char** argv) {
    bool asked = false;
    for (const char* name : {"--help", "-h", "-?", "--help-all", "--version", "-v"}) {
        asked = asked || HasArgument(argc, argv, name);
    }
    if (!asked) return;
    QCoreApplication core(argc, argv);
    NameApplication();
    CommandLine commandLine;
    commandLine.parser.process(core);
}

}  // namespace

void ApplySkinPalette(QApplication& app) {
    // Colours of the default skin, so that menus and dialogs match the window: panels, fields,
    // value text and the amber accent for what is selected.
    using namespace skincolour;

    // Fusion draws everything from the palette; a platform style might keep its own light frames.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);

    QPalette palette;
    palette.setColor(QPalette::Window, kPanelTop);
    palette.setColor(QPalette::WindowText, kValueText);
    palette.setColor(QPalette::Base, kFieldFill);
    palette.setColor(QPalette::AlternateBase, kPanelBottom);
    palette.setColor(QPalette::Text, kValueText);
    palette.setColor(QPalette::PlaceholderText, kCaptionText);
    palette.setColor(QPalette::Button, kBarTop);
    palette.setColor(QPalette::ButtonText, kValueText);
    palette.setColor(QPalette::BrightText, kAlarm);
    palette.setColor(QPalette::Light, kLightFrame);
    palette.setColor(QPalette::Midlight, kPanelBorder);
    palette.setColor(QPalette::Mid, kDivider);
    palette.setColor(QPalette::Dark, kWindowBottom);
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, kAccent);
    palette.setColor(QPalette::HighlightedText, kWindowBottom);
    palette.setColor(QPalette::Link, kAccent);
    palette.setColor(QPalette::LinkVisited, kAccent.darker(130));
    palette.setColor(QPalette::ToolTipBase, kPanelTop);
    palette.setColor(QPalette::ToolTipText, kValueText);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, kDimText);
    }
    palette.setColor(QPalette::Disabled, QPalette::Highlight, kDivider);
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText, kCaptionText);
    QApplication::setPalette(palette);

    // Menus open over the dark window: a frame and a visible separator keep them apart from it.
    app.setStyleSheet(QStringLiteral(
        "QMenu { background: %1; border: 1px solid %2; padding: 3px 0px; }"
        "QMenu::item { padding: 4px 24px 4px 20px; color: %3; background: transparent; }"
        "QMenu::item:selected { background: %4; color: %5; }"
        "QMenu::item:disabled { color: %6; }"
        "QMenu::separator { height: 1px; background: %2; margin: 3px 8px; }")
                          .arg(kPanelTop.name(), kLightFrame.name(), kValueText.name(),
                               kAccent.name(), kWindowBottom.name(), kDimText.name()));
}

int RunVantrelApp(int argc, char** argv) {
    AnswerHelpOrVersion(argc, argv);

    // The platform is chosen when the application object is made, so look ahead for the option.
    if (HasArgument(argc, argv, "--screenshot") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !HasArgument(argc, argv, "-platform")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    NameApplication();
    ApplySkinPalette(app);

    CommandLine commandLine;
    QCommandLineParser& parser = commandLine.parser;
    const QCommandLineOption& dataDirOption = commandLine.dataDir;
    const QCommandLineOption& adaptorOption = commandLine.adaptor;
    const QCommandLineOption& screenshotOption = commandLine.screenshot;
    parser.process(app);

    std::optional<std::filesystem::path> explicitDir;
    if (parser.isSet(dataDirOption)) explicitDir = parser.value(dataDirOption).toStdString();
    const DataFolderOptions options = DataFolderOptionsFromEnvironment(explicitDir);
    std::string error;
    const auto dataFolder = ResolveDataFolder(options, &error);
    if (!dataFolder) {
        if (parser.isSet(screenshotOption)) {
            qWarning("vantrel: %s", error.c_str());
        } else {
            QMessageBox::critical(nullptr, "Vantrel", QString::fromStdString(error));
        }
        return 1;
    }
    WindowOptions windowOptions;
    if (parser.isSet(adaptorOption)) {
        const QString text = parser.value(adaptorOption);
        const qsizetype colon = text.lastIndexOf(':');
        bool portOk = true;
        if (colon >= 0) {
            const uint port = text.mid(colon + 1).toUInt(&portOk);
            portOk = portOk && port > 0 && port <= 65535;
            windowOptions.adaptorPort = port;
        }
        windowOptions.adaptorHost = text.left(colon >= 0 ? colon : text.size()).toStdString();
        if (!portOk || windowOptions.adaptorHost->empty()) {
            qWarning("vantrel: bad adaptor address %s (HOST[:PORT])", qPrintable(text));
            return 2;
        }
    }
    const bool screenshot = parser.isSet(screenshotOption);
    // Screenshots without an adaptor show the window as it starts, without a connection.
    windowOptions.connect = !screenshot || windowOptions.adaptorHost.has_value();

    VantrelDlg window(*dataFolder, windowOptions);
    if (!window.StartError().empty()) {
        if (screenshot) {
            qWarning("vantrel: %s", window.StartError().c_str());
        } else {
            QMessageBox::critical(nullptr, "Vantrel", QString::fromStdString(window.StartError()));
        }
        return 1;
    }
    if (screenshot) {
        // Against an adaptor the pictures show its downloaded setups and status.
        if (windowOptions.adaptorHost) {
            if (!window.WaitForSetups(30000)) {
                qWarning("vantrel: no setups from the adaptor within 30 s; capturing as is");
            } else {
                window.WaitForStatus(5000);
            }
        }
        const int result = SaveScreenshots(window, parser.value(screenshotOption));
        window.close();
        return result;
    }
    window.show();
    return QApplication::exec();
}

}  // namespace vantrel
