#include "app/VantrelApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>
#include <QWidget>

#include "app/Settings.h"
#include "platform/DataFolder.h"

namespace vantrel {

int RunVantrelApp(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("vantrel");

    QCommandLineParser parser;
    parser.setApplicationDescription("Vantrel DSP amplifier tuning tool");
    parser.addHelpOption();
    QCommandLineOption dataDirOption("data-dir", "Folder holding INI/ and PNGRes/.", "DIR");
    QCommandLineOption adaptorOption("adaptor", "Adaptor address HOST[:PORT].", "HOST[:PORT]");
    parser.addOption(dataDirOption);
    parser.addOption(adaptorOption);
    parser.process(app);

    std::optional<std::filesystem::path> explicitDir;
    if (parser.isSet(dataDirOption)) explicitDir = parser.value(dataDirOption).toStdString();
    const DataFolderOptions options = DataFolderOptionsFromEnvironment(explicitDir);
    std::string error;
    const auto dataFolder = ResolveDataFolder(options, &error);
    if (!dataFolder) {
        QMessageBox::critical(nullptr, "Vantrel", QString::fromStdString(error));
        return 1;
    }
    const AppSettings settings = ReadSettings(*dataFolder / "INI" / "InitFile.dat");

    QWidget window;
    window.setWindowTitle(settings.title.empty() ? QString("Vantrel")
                                                 : QString::fromStdString(settings.title));
    auto* layout = new QVBoxLayout(&window);
    const QString adaptor = parser.isSet(adaptorOption)
                                ? parser.value(adaptorOption)
                                : QString::fromStdString(settings.adaptorAddress) + ":" +
                                      QString::number(settings.adaptorPort);
    layout->addWidget(new QLabel(
        QString("Data folder: %1\nAdaptor: %2\n\nThe tuning window is not built yet; use vantrel-cli "
                "to talk to the amplifier.")
            .arg(QString::fromStdString(dataFolder->string()), adaptor)));
    window.resize(480, 160);
    window.show();
    return QApplication::exec();
}

}  // namespace vantrel
