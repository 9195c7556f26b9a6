#include "controls/PictureCache.h"

#include <QDir>
#include <QHash>
#include <QMutex>
#include <algorithm>

namespace vantrel {

namespace {

struct Cache {
    QMutex mutex;
    QString folder;
    QHash<QString, QImage> pictures;
    QHash<QString, QImage> toned;  // key: full path, a newline, the tone number
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

// Caller holds the cache's mutex.
QString FullPath(const Cache& cache, const QString& storedPath) {
    QString relative = storedPath;
    relative.replace('\\', '/');
    return cache.folder.isEmpty() ? QDir::cleanPath(relative)
                                  : QDir(cache.folder).filePath(relative);
}

ColorMatrix MatrixFor(PictureTone tone) {
    switch (tone) {
        case PictureTone::Bright:
            return BrightenMatrix();
        case PictureTone::DimmedGrey:
            return DimmedGreyMatrix();
        case PictureTone::Grey:
            return GreyMatrix();
        case PictureTone::Plain:
            break;
    }
    return ColorMatrix{
        {{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, 1, 0}, {0, 0, 0, 0, 1}}};
}

int ToByte(float value) { return qRound(std::clamp(value, 0.0f, 1.0f) * 255.0f); }

}  // namespace

void SetPictureFolder(const QString& dataFolder) {
    Cache& cache = TheCache();
    QMutexLocker lock(&cache.mutex);
    cache.folder = dataFolder;
    cache.pictures.clear();
    cache.toned.clear();
}

void ClearPictureCache() {
    Cache& cache = TheCache();
    QMutexLocker lock(&cache.mutex);
    cache.pictures.clear();
    cache.toned.clear();
}

QImage LoadPicture(const QString& storedPath) {
    if (storedPath.isEmpty()) return {};
    Cache& cache = TheCache();
    QMutexLocker lock(&cache.mutex);
    const QString path = FullPath(cache, storedPath);
    auto it = cache.pictures.constFind(path);
    if (it != cache.pictures.constEnd()) return *it;
    QImage image(path);
    if (!image.isNull()) image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    cache.pictures.insert(path, image);
    return image;
}

QImage LoadPicture(const QString& storedPath, PictureTone tone) {
    const QImage plain = LoadPicture(storedPath);
    if (tone == PictureTone::Plain || plain.isNull()) return plain;
    Cache& cache = TheCache();
    QMutexLocker lock(&cache.mutex);
    const QString key = FullPath(cache, storedPath) + '\n' + QString::number(int(tone));
    auto it = cache.toned.constFind(key);
    if (it != cache.toned.constEnd()) return *it;
    const QImage image = ApplyColorMatrix(plain, MatrixFor(tone));
    cache.toned.insert(key, image);
    return image;
}

ColorMatrix BrightenMatrix() {
    return ColorMatrix{{{1.05f, 0, 0, 0, 0},
                        {0, 1.05f, 0, 0, 0},
                        {0, 0, 1.05f, 0, 0},
                        {0, 0, 0, 1, 0},
                        {0.05f, 0.05f, 0.05f, 0, 1}}};
}

ColorMatrix DimmedGreyMatrix() {
    return ColorMatrix{{{0.15f, 0.15f, 0.15f, 0, 0},
                        {0.295f, 0.295f, 0.295f, 0, 0},
                        {0.055f, 0.055f, 0.055f, 0, 0},
                        {0, 0, 0, 1, 0},
                        {0, 0, 0, 0, 1}}};
}

ColorMatrix GreyMatrix() {
    return ColorMatrix{{{0.3f, 0.3f, 0.3f, 0, 0},
                        {0.59f, 0.59f, 0.59f, 0, 0},
                        {0.11f, 0.11f, 0.11f, 0, 0},
                        {0, 0, 0, 1, 0},
                        {0, 0, 0, 0, 1}}};
}

QImage ApplyColorMatrix(const QImage& picture, const ColorMatrix& matrix) {
    if (picture.isNull()) return {};
    // The matrix works on straight colours; premultiplied ones would darken translucent edges.
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const auto& m = matrix.m;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const float in[4] = {float(qRed(pixel)) / 255.0f, float(qGreen(pixel)) / 255.0f,
                                 float(qBlue(pixel)) / 255.0f, float(qAlpha(pixel)) / 255.0f};
            int out[4];
            for (int column = 0; column < 4; ++column) {
                float sum = m[4][column];
                for (int row = 0; row < 4; ++row) sum += in[row] * m[row][column];
                out[column] = ToByte(sum);
            }
            line[x] = qRgba(out[0], out[1], out[2], out[3]);
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace vantrel
