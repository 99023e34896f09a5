#pragma once

#include "common/Result.h"
#include "device/FBInfo.h"
#include "runner/FrameStore.h"

#include <QHash>
#include <QImage>
#include <QString>

#include <memory>

struct lua_State;
class RunSession;

// The runtime's API as a script run on the PC is served, against the connected device. The API
// model says how each function is served (ApiEntry::onPc, with a note on what an approximate
// one does here); this class holds the functions it marks served, approximate or accepted, and
// defines every other function of the runtime, and of Lua's library, that the model marks
// unavailable as one that fails naming itself and its place:
// "错误：本地运行不支持startApp（main.script第3行）". Chinese aliases name the same functions.
//
// The screen is read from the frames of the device: with setAutoScreencap(true) (the start)
// each read takes the newest frame, with false the frame screencap() last held.
class RunApi
{
public:
    // The function serving a runtime name here; null for one the PC does not serve.
    using Function = int (*)(lua_State *L);
    static Function function(const QString &name);
    // Defines the served functions and the failing ones in the global table.
    static void install(lua_State *L);

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
