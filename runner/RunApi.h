#pragma once

#include "common/Result.h"
#include "device/FBInfo.h"
#include "runner/FrameStore.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QVector>

#include <memory>

struct lua_State;
class RunSession;

// The runtime's API as a script run on the PC is served: every function of the runtime is
// either served here, against the connected device, or fails naming itself and its place
// ("错误：本地运行不支持startApp（main.script第3行）").
//
// Served functions keep the device's behaviour where it is known. Where it is not, the choice
// is written down with the function (its note) and the function counts as approximate:
//   - a similarity (0 to 100) allows each colour channel to differ by up to (100 - it)% of 255;
//   - findImage and its forms return true and the top-left corner of the first place found,
//     row by row (false, -1, -1 when none), and a region's corners are included;
//   - clickImage taps the picture's centre.
// Accepted functions do nothing on the PC (the new-project template calls showLoopSetting).
//
// The screen is read from the frames of the device: with setAutoScreencap(true) (the start)
// each read takes the newest frame, with false the frame screencap() last held.
class RunApi
{
public:
    enum class Serving { Served, Approximate, Accepted };
    struct Function
    {
        const char *name;
        Serving serving;
        int (*function)(lua_State *L);
        const char *note; // what an approximate function does here
    };

    static const QVector<Function> &functions();
    // Defines the served functions in the global table, and every other name of the runtime's
    // API that Lua does not define as a function that fails.
    static void install(lua_State *L);
    // The names of the runtime's API that are not served.
    static QStringList unsupported();

    explicit RunApi(RunSession &session);

    // The screen the next read sees, as a 32-bit RGB picture.
    Status screen(QImage *picture, FBInfo *info);
    // Makes the next reads see the screen now (screencap()).
    Status hold();
    void setAutomatic(bool automatic) { autoScreencap = automatic; }
    // A picture of the project (for image searches), kept while its file stays the same.
    Result<QImage> picture(const QString &path);

private:
    RunSession &session;
    bool autoScreencap = true;
    std::shared_ptr<const FrameStore::Frame> shownFrame; // what `shown` was made from
    QImage shown;
    std::shared_ptr<const FrameStore::Frame> heldFrame;
    QImage held;
    struct Cached
    {
        QImage image;
        qint64 size = -1;
        qint64 modified = 0;
    };
    QHash<QString, Cached> pictures;
};
