#include "simulator/SimScreen.h"

#include "device/FrameImage.h"
#include "simulator/SimFrameEncoder.h"
#include "simulator/SimTestPattern.h"
#include "simulator/SimTestScene.h"

#include <QTime>

namespace {
// The test pattern is redrawn at most this often; faster frames repeat the last picture.
constexpr qint64 kRedrawMs = 16;
} // namespace

SimScreen::SimScreen(const SimOptions &options, const QImage &picture)
    : options(options), picture(picture)
{
    clock.start();
}

void SimScreen::press(const QPoint &point)
{
    pressed = point;
    if (picture.isNull() && options.scene != SimOptions::Scene::Test) // the pattern marks it
        stale = true;
}

void SimScreen::tap(const QPoint &point)
{
    ++taps;
    if (SimTestScene::buttonRect(QSize(options.width, options.height)).contains(point))
        ++buttonTaps;
    stale = stale || options.scene == SimOptions::Scene::Test;
}

void SimScreen::key(int code)
{
    lastKey = code;
    stale = stale || options.scene == SimOptions::Scene::Test;
}

FBInfo SimScreen::describe() const
{
    FBInfo info;
    info.bitsPerPixel = options.depth;
    info.width = picture.isNull() ? options.width : picture.width();
    info.height = picture.isNull() ? options.height : picture.height();
    info.channelOrder = options.channelOrder;
    info.dataSize = int(FrameImage::requiredSize(info));
    return info;
}

QByteArray SimScreen::capture()
{
    const qint64 now = clock.elapsed();
    const bool moving = picture.isNull() && options.scene == SimOptions::Scene::Pattern;
    if (stale || (moving && now - renderedAt >= kRedrawMs)) {
        pixels = SimFrameEncoder::pixels(render(), options.depth, options.channelOrder);
        renderedAt = now;
        stale = false;
    }
    return pixels;
}

QImage SimScreen::render() const
{
    if (!picture.isNull())
        return picture;
    const QSize size(options.width, options.height);
    if (options.scene == SimOptions::Scene::Test)
        return SimTestScene::render(size, buttonTaps, taps, lastKey);
    return SimTestPattern::render(size, clock.elapsed(), QTime::currentTime(), pressed);
}
