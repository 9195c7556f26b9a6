#include "SkinFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRect>
#include <utility>

#include "Palette.h"

namespace makeskin {

namespace {

class SkinFile {
public:
    void Section(const QString& name) {
        if (!m_bytes.isEmpty()) m_bytes += "\r\n";
        m_bytes += '[' + name.toLatin1() + "]\r\n";
    }
    void Key(const char* key, const QString& value) {
        m_bytes += QByteArray(key) + '=' + value.toLatin1() + "\r\n";
    }
    void Key(const char* key, int value) { Key(key, QString::number(value)); }
    void Real(const char* key, double value) { Key(key, QString::number(value, 'f', 1)); }
    const QByteArray& Bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

void WriteRect(SkinFile& f, const QRect& r) {
    f.Key("Width", r.width());
    f.Key("Height", r.height());
    f.Key("Left", r.left());
    f.Key("Top", r.top());
}

void WriteControl(SkinFile& f, const Control& c) {
    f.Section(c.section);
    switch (c.kind) {
        case Kind::Button:
        case Kind::Led:
            f.Key("STA_name", c.sta);
            f.Key("ALT_name", c.alt);
            WriteRect(f, c.rect);
            for (int i = 0; i < c.wifiSta.size(); ++i) {
                f.Key(QStringLiteral("STA_name%1").arg(i).toLatin1().constData(), c.wifiSta[i]);
                f.Key(QStringLiteral("ALT_name%1").arg(i).toLatin1().constData(), c.wifiAlt[i]);
            }
            break;
        case Kind::Knob:
            f.Key("STA_name", c.sta);
            f.Key("ALT_name", c.alt);
            WriteRect(f, c.rect);
            f.Key("FirstKHc", c.firstCentre);
            f.Key("StepHeight", c.stepHeight);
            f.Key("StepNum", c.stepNum);
            f.Key("ValMul", c.valMul);
            break;
        case Kind::BandFaders:
            f.Key("STA_name", c.sta);
            f.Key("ALT_name", c.alt);
            WriteRect(f, c.rect);
            f.Key("FaderWidth", c.faderWidth);
            f.Key("FaderHeight", c.faderHeight);
            f.Key("FaderValMul", c.faderValMul);
            break;
        case Kind::Fader:
            f.Key("STA_name", c.sta);
            f.Key("ALT_name", c.alt);
            WriteRect(f, c.rect);
            f.Key("FaderValMul", c.faderValMul);
            break;
        case Kind::Label:
        case Kind::Edit:
        case Kind::List:
            WriteRect(f, c.rect);
            f.Key("FontHeight", c.text.height);
            f.Key("FontWidth", 0);
            f.Key("FontWeight", c.text.bold ? 700 : 400);
            f.Key("FontName", kFontName);
            f.Key("FontCollorR", c.text.colour.red());
            f.Key("FontCollorG", c.text.colour.green());
            f.Key("FontCollorB", c.text.colour.blue());
            break;
        case Kind::LevelBar:
            WriteRect(f, c.rect);
            f.Key("CollorR", c.barColour.red());
            f.Key("CollorG", c.barColour.green());
            f.Key("CollorB", c.barColour.blue());
            break;
        case Kind::Curve:
            WriteRect(f, c.rect);
            f.Real("ValLeft", c.valLeft);
            f.Real("ValTop", c.valTop);
            f.Real("ValRigth", c.valRigth);
            f.Real("ValBottom", c.valBottom);
            break;
    }
}

}  // namespace

QByteArray SkinFileBytes(const Skin& skin) {
    SkinFile f;
    const std::pair<const char*, QString> backgrounds[] = {
        {"MainBkg", kMainBackground}, {"EqBkg", kEqBackground}, {"SpBkg", kSpectrumBackground}};
    for (const auto& [section, file] : backgrounds) {
        f.Section(QString::fromLatin1(section));
        f.Key("FileName", file);
        f.Key("Left", 0);
        f.Key("Top", 0);
    }
    for (const Control& c : skin.controls) WriteControl(f, c);
    return f.Bytes();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes) == bytes.size();
}

bool SavePng(const QString& path, const QImage& image) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    return image
        .convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32)
        .save(path, "PNG", 9);
}

QString OnDisk(const QString& outDir, const QString& skinPath) {
    QString relative = skinPath;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return outDir + QLatin1Char('/') + relative;
}

}  // namespace makeskin
