#include "app/VantrelApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <cstring>

#include "app/VantrelDlg.h"
#include "curves/CSpectrumDisplya.h"
#include "platform/DataFolder.h"

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

}  // namespace

int RunVantrelApp(int argc, char** argv) {
    // The platform is chosen when the application object is made, so look ahead for the option.
    if (HasArgument(argc, argv, "--screenshot") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !HasArgument(argc, argv, "-platform")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("vantrel");

    QCommandLineParser parser;
    parser.setApplicationDescription("Vantrel DSP amplifier tuning tool");
    parser.addHelpOption();
    QCommandLineOption dataDirOption("data-dir", "Folder holding INI/ and PNGRes/.", "DIR");
    QCommandLineOption adaptorOption("adaptor", "Adaptor address HOST[:PORT].", "HOST[:PORT]");
    QCommandLineOption screenshotOption(
        "screenshot",
        "Save both pages and the spectrum window as DIR/main.png, DIR/eq.png and "
        "DIR/spectrum.png, then exit.",
        "DIR");
    parser.addOption(dataDirOption);
    parser.addOption(adaptorOption);
    parser.addOption(screenshotOption);
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
