#pragma once

// The skin file and the files of the pictures.

#include <QByteArray>
#include <QImage>
#include <QString>

#include "Skin.h"

namespace makeskin {

inline const QString kMainBackground = QStringLiteral("PNGRes\\Main.png");
inline const QString kEqBackground = QStringLiteral("PNGRes\\Eq.png");
inline const QString kSpectrumBackground = QStringLiteral("PNGRes\\Spectrum.png");

QByteArray SkinFileBytes(const Skin& skin);

bool WriteFile(const QString& path, const QByteArray& bytes);
bool SavePng(const QString& path, const QImage& image);
QString OnDisk(const QString& outDir, const QString& skinPath);

}  // namespace makeskin
