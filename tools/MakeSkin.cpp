// vantrel-make-skin OUTDIR [--preview] [--check-outputs LIST]
// vantrel-make-skin --list-outputs
//
// Draws the default skin into OUTDIR/PNGRes: the skin file Res.Pic and every picture it names.
// One table (BuildSkin) places every control; the skin file, the captions and scales painted into
// the backgrounds and the preview all come from that table, so they cannot disagree.
//
// With --preview it also writes OUTDIR/preview-main.png, preview-eq.png and preview-spectrum.png:
// each page with every control's picture composited at its place and the labels' texts, so the
// look can be judged without running the program.
//
// The parts live in skin/: the look (Palette), the controls' pictures (Sprites), the table
// (Layout), the backgrounds, the skin file (SkinFileWriter), the layout check and the preview.
//
// --list-outputs prints every file a run writes, relative to OUTDIR, one a line. The build keeps
// that list (skin/Outputs.txt) so that it knows every picture; --check-outputs LIST fails the run
// when the list no longer matches what is drawn.

#include <QByteArray>
#include <QFile>
#include <QFontInfo>
#include <QGuiApplication>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <utility>

#include "skin/Backgrounds.h"
#include "skin/Layout.h"
#include "skin/LayoutCheck.h"
#include "skin/Palette.h"
#include "skin/Preview.h"
#include "skin/Skin.h"
#include "skin/SkinFileWriter.h"

using namespace makeskin;

namespace {

// The files a run writes, relative to OUTDIR: the pictures, then the skin file.
QStringList OutputNames(const Skin& skin) {
    QStringList names;
    for (const auto& [path, image] : skin.pictures)
        names << QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
    names << QStringLiteral("PNGRes/Res.Pic");
    return names;
}

// A stale list would leave a new picture unknown to the build, or have it wait for a file that is
// never written.
bool MatchesList(const QStringList& outputs, const QString& listPath) {
    QFile file(listPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "vantrel-make-skin: cannot read %s\n", qPrintable(listPath));
        return false;
    }
    QStringList listed;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty()) listed << QString::fromUtf8(line.trimmed());
    QStringList written = outputs;
    written.sort();
    listed.sort();
    if (written == listed) return true;
    for (const QString& name : written)
        if (!listed.contains(name))
            std::fprintf(stderr, "vantrel-make-skin: %s is drawn but not listed in %s\n",
                         qPrintable(name), qPrintable(listPath));
    for (const QString& name : listed)
        if (!written.contains(name))
            std::fprintf(stderr, "vantrel-make-skin: %s is listed in %s but not drawn\n",
                         qPrintable(name), qPrintable(listPath));
    std::fprintf(stderr,
                 "vantrel-make-skin: make the list anew with: "
                 "vantrel-make-skin --list-outputs > %s\n",
                 qPrintable(listPath));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Runs during the build, where there may be no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString outDir;
    QString outputList;
    bool preview = false;
    bool listOutputs = false;
    int folders = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--preview")) {
            preview = true;
        } else if (arg == QLatin1String("--list-outputs")) {
            listOutputs = true;
        } else if (arg == QLatin1String("--check-outputs") && i + 1 < argc) {
            outputList = QString::fromLocal8Bit(argv[++i]);
        } else {
            outDir = arg;
            ++folders;
        }
    }
    if (folders != (listOutputs ? 0 : 1)) {
        std::fprintf(stderr,
                     "usage: vantrel-make-skin OUTDIR [--preview] [--check-outputs LIST]\n"
                     "       vantrel-make-skin --list-outputs\n");
        return 2;
    }
    if (QFontInfo(UiFont(12)).family() != kFontName)
        std::fprintf(stderr,
                     "vantrel-make-skin: warning: font \"%s\" not found, texts use \"%s\"\n",
                     qPrintable(kFontName), qPrintable(QFontInfo(UiFont(12)).family()));

    Skin skin = BuildSkin();
    const QSize pageSize(kPageWidth, kPageHeight);
    const QSize spectrumSize(kSpectrumWidth, kSpectrumHeight);
    const bool laidOut =
        CheckPage(skin, kMain, pageSize, "main") && CheckPage(skin, kEq, pageSize, "EQ") &&
        CheckPage(skin, kSpectrum, spectrumSize, "spectrum") && CheckTextsFit(skin) &&
        CheckControlTable(skin);
    if (!laidOut) return 1;

    skin.pictures.emplace(kMainBackground, PaintBackground(skin, kMain, pageSize));
    skin.pictures.emplace(kEqBackground, PaintBackground(skin, kEq, pageSize));
    skin.pictures.emplace(kSpectrumBackground, PaintBackground(skin, kSpectrum, spectrumSize));

    const QStringList outputs = OutputNames(skin);
    if (listOutputs) {
        for (const QString& name : outputs) std::printf("%s\n", qPrintable(name));
        return 0;
    }
    if (!outputList.isEmpty() && !MatchesList(outputs, outputList)) return 1;

    for (const auto& [path, image] : skin.pictures)
        if (!SavePng(OnDisk(outDir, path), image)) {
            std::fprintf(stderr, "vantrel-make-skin: cannot write %s\n",
                         qPrintable(OnDisk(outDir, path)));
            return 1;
        }
    // The skin file last: its time stamp tells the build that the whole skin is there.
    const QString skinFile = OnDisk(outDir, QStringLiteral("PNGRes\\Res.Pic"));
    if (!WriteFile(skinFile, SkinFileBytes(skin))) {
        std::fprintf(stderr, "vantrel-make-skin: cannot write %s\n", qPrintable(skinFile));
        return 1;
    }

    if (preview) {
        const std::pair<const char*, unsigned> pages[] = {{"preview-main.png", kMain},
                                                          {"preview-eq.png", kEq},
                                                          {"preview-spectrum.png", kSpectrum}};
        for (const auto& [name, page] : pages) {
            const QString background = page == kMain ? kMainBackground
                                       : page == kEq ? kEqBackground
                                                     : kSpectrumBackground;
            const QString path = outDir + QLatin1Char('/') + QLatin1String(name);
            if (!SavePng(path, PaintPreview(skin, skin.pictures.at(background), page))) {
                std::fprintf(stderr, "vantrel-make-skin: cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
    }
    return 0;
}
