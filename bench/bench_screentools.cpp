// Binarising a 1080 x 2400 picture (goal: under 10 ms) and one pointer move over a 720 x 1280
// picture through the colour picker, readout and magnifier (goal: under 2 ms).
#include "screentools/ColorPicker.h"
#include "screentools/ImageBinarizer.h"
#include "screentools/ui/ImageEditorDialog.h"
#include "ui_ImageEditorDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A screen-like picture: flat areas of a few colours with noise, so that some pixels are kept
// and some are filled.
QImage screenLike(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int base = ((x / 64 + y / 64) % 3) * 0x50 + 0x30;
            const int noise = int(random.bounded(32)) - 16;
            const int v = qBound(0, base + noise, 255);
            line[x] = qRgb(v, qBound(0, v + 8, 255), v);
        }
    }
    return image;
}

const char *verdict(double ms, double goal)
{
    return ms < goal ? "met" : "MISSED";
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QImage big = screenLike(1080, 2400);
    std::vector<double> runs;
    QElapsedTimer clock;
    for (int i = 0; i < 31; ++i) {
        QImage work = big.copy();
        clock.start();
        ImageBinarizer::binarizeImage(work, ImageBinarizer::Settings{0x808080, 0x000000, 16});
        runs.push_back(clock.nsecsElapsed() / 1e6);
    }
    const double binarize = median(runs);

    // The pointer crosses a 720 x 1280 picture shown in the image editor.
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/shot.bmp");
    screenLike(720, 1280).save(path);
    ImageEditorDialog editor;
    editor.openImage(path);
    const ShownPicture picture = editor.form()->labImgShow->shownPicture();
    std::vector<double> moves;
    std::vector<double> cores;
    for (int i = 0; i < 2000; ++i) {
        const int x = (i * 37) % 720;
        const int y = (i * 53) % 1280;
        clock.start();
        editor.slot_mouseMoveInImage(x, y);
        moves.push_back(clock.nsecsElapsed() / 1e6);
        clock.start();
        const ColorPicker::Readout readout = ColorPicker::readout(picture, x, y);
        cores.push_back(clock.nsecsElapsed() / 1e6);
        if (readout.magnifier.isNull())
            return 1;
    }
    const double move = median(moves);
    const double core = median(cores);

    std::printf("screen tools\n");
    std::printf("  binarise 1080 x 2400, median:            %7.3f ms  (goal < 10 ms: %s)\n", binarize, verdict(binarize, 10));
    std::printf("  pointer move over 720 x 1280, median:    %7.3f ms  (goal < 2 ms: %s)\n", move, verdict(move, 2));
    std::printf("    of which readout and magnifier alone:  %7.3f ms\n", core);
    std::printf("  pointer move, slowest of 2000:           %7.3f ms\n", *std::max_element(moves.begin(), moves.end()));
    return 0;
}
