#include "runner/RunApi.h"

#include "api/ApiModel.h"
#include "common/RegularFile.h"
#include "device/FrameImage.h"
#include "runner/DeviceLink.h"
#include "runner/ImageSearch.h"
#include "runner/RunGate.h"
#include "runner/RunSession.h"
#include "runner/ScriptCall.h"
#include "screentools/ColorMatch.h"
#include "screentools/ImageFileSaver.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>

#include <lauxlib.h>
#include <lua.h>

#include <optional>

namespace {

using Input = DeviceLink::Input;

RunApi &api(lua_State *L)
{
    return RunSession::of(L).api();
}

QString pixelText(const QPoint &point, const QSize &size)
{
    return QStringLiteral("坐标(%1,%2)不在屏幕内（%3x%4）").arg(point.x()).arg(point.y()).arg(size.width()).arg(size.height());
}

// ---- Input ------------------------------------------------------------------------------------

int send(lua_State *L, const char *name, std::initializer_list<Input> inputs)
{
    if (RunSession::of(L).isWatching()) {
        ScriptCall::pushFailure(L, name, QStringLiteral("监视表达式不能操作设备"));
        return lua_error(L);
    }
    if (ScriptCall::failed(L, name, RunSession::of(L).device().send(QVector<Input>(inputs))))
        return lua_error(L);
    return 0;
}

// x, y and, for the random forms, a range by which each is moved at random.
QPoint touchPoint(lua_State *L, const char *name, bool random)
{
    QPoint point(ScriptCall::integer(L, 1, name), ScriptCall::integer(L, 2, name));
    if (random) {
        const int range = int(qAbs(qint64(ScriptCall::optionalInteger(L, 3, name, 0))) % 100000);
        point += QPoint(QRandomGenerator::global()->bounded(-range, range + 1),
                        QRandomGenerator::global()->bounded(-range, range + 1));
    }
    return point;
}

int touchDown(lua_State *L)
{
    const QPoint p = touchPoint(L, "touchDown", false);
    return send(L, "touchDown", {{Input::Press, p.x(), p.y()}});
}

int touchDownRandom(lua_State *L)
{
    const QPoint p = touchPoint(L, "touchDownRandom", true);
    return send(L, "touchDownRandom", {{Input::Press, p.x(), p.y()}});
}

int touchUp(lua_State *L)
{
    return send(L, "touchUp", {{Input::Release}});
}

int touchClick(lua_State *L)
{
    const QPoint p = touchPoint(L, "touchClick", false);
    return send(L, "touchClick", {{Input::Press, p.x(), p.y()}, {Input::Release}});
}

int touchClickRandom(lua_State *L)
{
    const QPoint p = touchPoint(L, "touchClickRandom", true);
    return send(L, "touchClickRandom", {{Input::Press, p.x(), p.y()}, {Input::Release}});
}

int input(lua_State *L)
{
    if (lua_type(L, 1) != LUA_TNUMBER) // text has no message on the control connection
        return ScriptCall::raiseUnsupported(L, "input输入文本");
    const int code = ScriptCall::integer(L, 1, "input");
    return send(L, "input", {{Input::KeyPress, code}, {Input::KeyRelease, code}});
}

// ---- Colours ----------------------------------------------------------------------------------

QRect region(lua_State *L, int first, const char *name)
{
    if (lua_isnoneornil(L, first))
        return QRect(0, 0, 1 << 30, 1 << 30);
    const QPoint a(ScriptCall::integer(L, first, name), ScriptCall::integer(L, first + 1, name));
    const QPoint b(ScriptCall::integer(L, first + 2, name), ScriptCall::integer(L, first + 3, name));
    return QRect(a, b).normalized();
}

// The colour at a point of the screen; true and the failure pushed when there is none.
bool readPixel(lua_State *L, const char *name, const QPoint &point, QRgb *color)
{
    QImage screen;
    if (ScriptCall::failed(L, name, api(L).screen(&screen, nullptr)))
        return true;
    if (!screen.rect().contains(point)) {
        ScriptCall::pushFailure(L, name, pixelText(point, screen.size()));
        return true;
    }
    *color = screen.pixel(point) & 0xFFFFFFu;
    return false;
}

int getColor(lua_State *L)
{
    const QPoint point(ScriptCall::integer(L, 1, "getColor"), ScriptCall::integer(L, 2, "getColor"));
    QRgb color = 0;
    if (readPixel(L, "getColor", point, &color))
        return lua_error(L);
    lua_pushinteger(L, lua_Integer(color));
    return 1;
}

int getColorRGB(lua_State *L)
{
    const QPoint point(ScriptCall::integer(L, 1, "getColorRGB"), ScriptCall::integer(L, 2, "getColorRGB"));
    QRgb color = 0;
    if (readPixel(L, "getColorRGB", point, &color))
        return lua_error(L);
    lua_pushinteger(L, qRed(color));
    lua_pushinteger(L, qGreen(color));
    lua_pushinteger(L, qBlue(color));
    return 3;
}

int rgb(lua_State *L)
{
    const int r = qBound(0, ScriptCall::integer(L, 1, "RGB"), 255);
    const int g = qBound(0, ScriptCall::integer(L, 2, "RGB"), 255);
    const int b = qBound(0, ScriptCall::integer(L, 3, "RGB"), 255);
    lua_pushinteger(L, (r << 16) | (g << 8) | b);
    return 1;
}

int isColor(lua_State *L)
{
    const QPoint point(ScriptCall::integer(L, 1, "isColor"), ScriptCall::integer(L, 2, "isColor"));
    const QRgb wanted = QRgb(ScriptCall::integer(L, 3, "isColor"));
    const int similarity = ScriptCall::optionalInteger(L, 4, "isColor", 100);
    QRgb color = 0;
    if (readPixel(L, "isColor", point, &color))
        return lua_error(L);
    lua_pushboolean(L, ColorMatch::close(color, wanted, ImageSearch::tolerance(similarity)));
    return 1;
}

bool searchColor(lua_State *L, const char *name, QRgb color, int similarity, const QRect &area, QPoint *found)
{
    QImage screen;
    if (ScriptCall::failed(L, name, api(L).screen(&screen, nullptr)))
        return true;
    *found = ColorMatch::findFirst(screen, color, ImageSearch::tolerance(similarity), area).value_or(QPoint(-1, -1));
    return false;
}

int findColorForm(lua_State *L, const char *name, bool fuzzy)
{
    const QRgb color = QRgb(ScriptCall::integer(L, 1, name));
    const int similarity = fuzzy ? ScriptCall::integer(L, 2, name) : 100;
    const QRect area = region(L, fuzzy ? 3 : 2, name);
    QPoint found;
    if (searchColor(L, name, color, similarity, area, &found))
        return lua_error(L);
    lua_pushinteger(L, found.x());
    lua_pushinteger(L, found.y());
    return 2;
}

int findColor(lua_State *L)
{
    return findColorForm(L, "findColor", false);
}

int findColorFuzzy(lua_State *L)
{
    return findColorForm(L, "findColorFuzzy", true);
}

// ---- Images -----------------------------------------------------------------------------------

struct ImageQuery
{
    const char *path;
    int similarity = 100;
    std::optional<QRgb> background;
    QRect area;
};

// Where the picture is on the screen (top-left corner), and its size; true and the failure
// pushed when the search cannot be made.
bool searchImage(lua_State *L, const char *name, const ImageQuery &query, std::optional<QPoint> *found,
                 QSize *size = nullptr)
{
    const Result<QImage> picture = api(L).picture(QString::fromUtf8(query.path));
    if (!picture) {
        ScriptCall::pushFailure(L, name, picture.error());
        return true;
    }
    QImage screen;
    if (ScriptCall::failed(L, name, api(L).screen(&screen, nullptr)))
        return true;
    *found = ImageSearch::find(screen, *picture, query.area, ImageSearch::tolerance(query.similarity), query.background);
    if (size)
        *size = picture->size();
    return false;
}

int findImageForm(lua_State *L, const char *name, bool fuzzy, bool irregular)
{
    ImageQuery query;
    int arg = 1;
    query.path = ScriptCall::text(L, arg++, name);
    if (fuzzy)
        query.similarity = ScriptCall::integer(L, arg++, name);
    if (irregular)
        query.background = QRgb(ScriptCall::integer(L, arg++, name));
    query.area = region(L, arg, name);
    std::optional<QPoint> found;
    if (searchImage(L, name, query, &found))
        return lua_error(L);
    lua_pushboolean(L, found.has_value());
    lua_pushinteger(L, found ? found->x() : -1);
    lua_pushinteger(L, found ? found->y() : -1);
    return 3;
}

int findImage(lua_State *L)
{
    return findImageForm(L, "findImage", false, false);
}

int findImageFuzzy(lua_State *L)
{
    return findImageForm(L, "findImageFuzzy", true, false);
}

int findImageIrregular(lua_State *L)
{
    return findImageForm(L, "findImageIrregular", false, true);
}

int findImageFuzzyIrregular(lua_State *L)
{
    return findImageForm(L, "findImageFuzzyIrregular", true, true);
}

int clickImage(lua_State *L)
{
    ImageQuery query;
    query.path = ScriptCall::text(L, 1, "clickImage");
    query.area = region(L, 2, "clickImage");
    std::optional<QPoint> found;
    QSize size;
    if (searchImage(L, "clickImage", query, &found, &size))
        return lua_error(L);
    if (found) {
        const QPoint centre = *found + QPoint(size.width() / 2, size.height() / 2);
        send(L, "clickImage", {{Input::Press, centre.x(), centre.y()}, {Input::Release}});
    }
    lua_pushboolean(L, found.has_value());
    return 1;
}

// ---- Screen -----------------------------------------------------------------------------------

bool describeScreen(lua_State *L, const char *name, FBInfo *info)
{
    QImage screen;
    return ScriptCall::failed(L, name, api(L).screen(&screen, info));
}

int getResolutionRatio(lua_State *L)
{
    FBInfo info;
    if (describeScreen(L, "getResolutionRatio", &info))
        return lua_error(L);
    lua_pushinteger(L, info.width);
    lua_pushinteger(L, info.height);
    return 2;
}

int getBitsPerPixel(lua_State *L)
{
    FBInfo info;
    if (describeScreen(L, "getBitsPerPixel", &info))
        return lua_error(L);
    lua_pushinteger(L, info.bitsPerPixel);
    return 1;
}

int screencap(lua_State *L)
{
    if (ScriptCall::failed(L, "screencap", api(L).hold()))
        return lua_error(L);
    return 0;
}

int setAutoScreencap(lua_State *L)
{
    api(L).setAutomatic(lua_toboolean(L, 1));
    return 0;
}

bool saveScreen(lua_State *L, const char *name, const char *path, const QRect &area)
{
    QImage screen;
    if (ScriptCall::failed(L, name, api(L).screen(&screen, nullptr)))
        return true;
    QString failure;
    {
        const QRect part = area.intersected(screen.rect());
        const QString named = QString::fromUtf8(path);
        const Result<QString> file = RunSession::of(L).paths().resolve(named, true);
        if (part.isEmpty())
            failure = QStringLiteral("截图范围不在屏幕内（%1x%2）").arg(screen.width()).arg(screen.height());
        else if (!file)
            failure = file.error();
        else if (const Status saved = ImageFileSaver::write(screen.copy(part), *file); !saved)
            failure = saved.error();
    }
    if (failure.isEmpty())
        return false;
    ScriptCall::pushFailure(L, name, failure);
    return true;
}

int screencapToFile(lua_State *L)
{
    const char *path = ScriptCall::text(L, 1, "screencapToFile");
    const QRect area = region(L, 2, "screencapToFile");
    if (saveScreen(L, "screencapToFile", path, area))
        return lua_error(L);
    lua_pushboolean(L, 1);
    return 1;
}

// ---- The script itself ------------------------------------------------------------------------

int sleep(lua_State *L)
{
    const int milliseconds = ScriptCall::integer(L, 1, "sleep");
    RunSession &session = RunSession::of(L);
    if (!session.gate().sleep(milliseconds)) {
        session.unwind(L, RunSession::Outcome::Stopped);
        return lua_error(L);
    }
    return 0;
}

int printWith(lua_State *L, const char *prefix)
{
    size_t length = 0;
    const char *text = luaL_tolstring(L, 1, &length);
    RunSession::of(L).print(QString::fromUtf8(prefix) + QString::fromUtf8(text, int(length)));
    return 0;
}

int log(lua_State *L)
{
    return printWith(L, "");
}

int loge(lua_State *L)
{
    return printWith(L, "[错误] ");
}

int toast(lua_State *L)
{
    return printWith(L, "[提示] ");
}

int exitScript(lua_State *L)
{
    if (RunSession::of(L).isWatching()) {
        ScriptCall::pushFailure(L, "exit", QStringLiteral("监视表达式不能结束运行"));
        return lua_error(L);
    }
    RunSession::of(L).unwind(L, RunSession::Outcome::Finished);
    return lua_error(L);
}

int doString(lua_State *L)
{
    size_t length = 0;
    const char *code = ScriptCall::text(L, 1, "doString");
    lua_tolstring(L, 1, &length);
    lua_settop(L, 1);
    if (luaL_loadbufferx(L, code, length, code, "t") != LUA_OK)
        return lua_error(L);
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - 1;
}

int include(lua_State *L)
{
    return RunSession::runScript(L, ScriptCall::text(L, 1, "include"));
}

int getSDCardPath(lua_State *L)
{
    lua_pushliteral(L, "/sdcard");
    return 1;
}

int accepted(lua_State *)
{
    return 0;
}

struct Served
{
    const char *name;
    RunApi::Function function;
};

const Served kServed[] = {
    {"touchClick", touchClick},
    {"touchDown", touchDown},
    {"touchUp", touchUp},
    {"touchClickRandom", touchClickRandom},
    {"touchDownRandom", touchDownRandom},
    {"input", input},
    {"getColor", getColor},
    {"getColorRGB", getColorRGB},
    {"RGB", rgb},
    {"isColor", isColor},
    {"findColor", findColor},
    {"findColorFuzzy", findColorFuzzy},
    {"findImage", findImage},
    {"findImageFuzzy", findImageFuzzy},
    {"findImageIrregular", findImageIrregular},
    {"findImageFuzzyIrregular", findImageFuzzyIrregular},
    {"clickImage", clickImage},
    {"getResolutionRatio", getResolutionRatio},
    {"getBitsPerPixel", getBitsPerPixel},
    {"screencap", screencap},
    {"setAutoScreencap", setAutoScreencap},
    {"screencapToFile", screencapToFile},
    {"sleep", sleep},
    {"log", log},
    {"loge", loge},
    {"toast", toast},
    {"exit", exitScript},
    {"doString", doString},
    {"include", include},
    {"getSDCardPath", getSDCardPath},
    {"showLoopSetting", accepted},
    {"vibrate", accepted},
};

// Sets a global, or a field of a library table ("os.exit").
void setFunction(lua_State *L, const QString &name, RunApi::Function function)
{
    const QByteArray utf8 = name.toUtf8();
    const int dot = utf8.indexOf('.');
    if (function) {
        lua_register(L, utf8.constData(), function);
        return;
    }
    if (dot < 0) {
        lua_getglobal(L, utf8.constData());
        const bool defined = !lua_isnil(L, -1);
        lua_pop(L, 1);
        if (!defined) // the project's additions may name what Lua has
            ScriptCall::defineUnsupported(L, nullptr, utf8.constData());
    } else {
        ScriptCall::defineUnsupported(L, utf8.left(dot).constData(), utf8.mid(dot + 1).constData());
    }
}

} // namespace

RunApi::Function RunApi::function(const QString &name)
{
    for (const Served &served : kServed) {
        if (name == QLatin1String(served.name))
            return served.function;
    }
    return nullptr;
}

void RunApi::install(lua_State *L)
{
    for (const ApiEntry &entry : ApiModel::standard().entries()) {
        if (!entry.isRuntime() && entry.onPc != ApiEntry::OnPc::Unavailable)
            continue; // Lua's, served by Lua and the sandbox
        const Function served = entry.onPc == ApiEntry::OnPc::Unavailable ? nullptr : function(entry.name);
        for (const QString &name : QStringList{entry.name} + entry.aliases)
            setFunction(L, name, served);
    }
}

RunApi::RunApi(RunSession &session)
    : session(session)
{
}

Status RunApi::screen(QImage *picture, FBInfo *info)
{
    const std::shared_ptr<const FrameStore::Frame> *frame = &heldFrame;
    if (autoScreencap || !heldFrame) {
        Result<std::shared_ptr<const FrameStore::Frame>> newest = session.device().screen();
        if (!newest)
            return fail(newest.error());
        if (*newest != shownFrame) {
            shownFrame = *newest;
            shown = FrameImage::toPicture(shownFrame->pixels.data(), shownFrame->info);
        }
        if (!autoScreencap) { // the first read after setAutoScreencap(false) holds its frame
            heldFrame = shownFrame;
            held = shown;
        }
        frame = &shownFrame;
    }
    const QImage &seen = frame == &heldFrame ? held : shown;
    if (seen.isNull())
        return fail(QStringLiteral("屏幕画面的格式无法识别（%1x%2，%3位）")
                        .arg((*frame)->info.width)
                        .arg((*frame)->info.height)
                        .arg((*frame)->info.bitsPerPixel));
    *picture = seen;
    if (info)
        *info = (*frame)->info;
    return Status();
}

Status RunApi::hold()
{
    heldFrame.reset();
    const bool automatic = autoScreencap;
    autoScreencap = false;
    QImage picture;
    const Status taken = screen(&picture, nullptr);
    autoScreencap = automatic;
    return taken;
}

Result<QImage> RunApi::picture(const QString &path)
{
    const Result<QString> file = session.paths().resolve(path);
    if (!file)
        return fail(file.error());
    const QFileInfo about(*file);
    Cached &cached = pictures[*file];
    if (cached.size == about.size() && cached.modified == about.lastModified().toMSecsSinceEpoch() && !cached.image.isNull())
        return cached.image;
    const Result<QByteArray> bytes = RegularFile::readWhole(*file, 64 << 20);
    if (!bytes)
        return fail(QStringLiteral("无法读取图片“%1”：%2").arg(path, bytes.error()));
    const QImage image = QImage::fromData(*bytes);
    if (image.isNull())
        return fail(QStringLiteral("“%1”不是能读取的图片").arg(path));
    cached = {image, about.size(), about.lastModified().toMSecsSinceEpoch()};
    return image;
}
