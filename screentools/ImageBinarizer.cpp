#include "screentools/ImageBinarizer.h"

Result<ImageBinarizer::Settings> ImageBinarizer::parse(const QString &keep, const QString &fill, const QString &deviation)
{
    bool ok = false;
    const int keepValue = keep.toInt(&ok, 16);
    if (!ok)
        return fail(QStringLiteral("<font color=red>二值化保留颜色必须为十六进制数字</font>"));
    const int fillValue = fill.toInt(&ok, 16);
    if (!ok)
        return fail(QStringLiteral("<font color=red>二值化填充颜色必须为十六进制数字</font>"));
    const int deviationValue = deviation.toInt(&ok, 10);
    if (!ok || deviationValue < 0 || deviationValue > 255)
        return fail(QStringLiteral("<font color=red>允许偏差应为十进制数字类型范围0-255</font>"));
    return Settings{QRgb(keepValue) & 0xFFFFFFu, QRgb(fillValue) & 0xFFFFFFu, deviationValue};
}

void ImageBinarizer::binarizeImage(QImage &image, const Settings &settings)
{
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return;
    const int keepR = int((settings.keep >> 16) & 0xFF);
    const int keepG = int((settings.keep >> 8) & 0xFF);
    const int keepB = int(settings.keep & 0xFF);
    const quint32 fill = 0xFF000000u | (settings.fill & 0xFFFFFFu);
    // |c - keep| <= dev  <=>  (c - keep + dev) as unsigned <= 2 dev: one compare per channel.
    const unsigned dev = unsigned(settings.deviation);
    const unsigned span = 2 * dev;
    const int width = image.width();
    const qsizetype stride = image.bytesPerLine();
    uchar *bits = image.bits();
    for (int y = 0; y < image.height(); ++y) {
        quint32 *pixel = reinterpret_cast<quint32 *>(bits + y * stride);
        for (int x = 0; x < width; ++x) {
            const quint32 c = pixel[x];
            const unsigned dr = unsigned(int((c >> 16) & 0xFF) - keepR) + dev;
            const unsigned dg = unsigned(int((c >> 8) & 0xFF) - keepG) + dev;
            const unsigned db = unsigned(int(c & 0xFF) - keepB) + dev;
            // Written without a branch so that the compiler can do several pixels at once.
            pixel[x] = ((dr > span) | (dg > span) | (db > span)) ? fill : c;
        }
    }
}
