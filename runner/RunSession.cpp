#include "runner/RunSession.h"

#include "common/Names.h"
#include "common/RegularFile.h"
#include "runner/DeviceLink.h"
#include "runner/RunApi.h"
#include "runner/RunGate.h"
#include "runner/RunOutput.h"
#include "runner/RunSandbox.h"
#include "runner/ScriptHook.h"

#include <QRegularExpression>

#include <lauxlib.h>
#include <lua.h>

#include <cstdlib>

namespace {

// The error that ends a run (a stop, exit(), a lost device): its address is what the script
// cannot make.
char endingKey;
// The registry's record of the coroutines the last error passed through on its way out.
char failedKey;

constexpr qint64 kScriptLimit = 16 << 20;

// Pushes the record of the coroutines the last error came out of (or nil); true when that error
// was the value at index error.
bool pushFailureRecord(lua_State *L, int error)
{
    lua_rawgetp(L, LUA_REGISTRYINDEX, &failedKey);
    if (!lua_istable(L, -1))
        return false;
    lua_getfield(L, -1, "value");
    const bool same = lua_rawequal(L, -1, error);
    lua_pop(L, 1);
    return same;
}

} // namespace

RunSession::RunSession(const QString &projectDirectory, std::shared_ptr<DeviceLink> device,
                       std::shared_ptr<RunGate> gate, std::shared_ptr<RunOutput> output, ScriptHook *hook)
    : scriptPaths(projectDirectory)
    , link(std::move(device))
    , runGate(std::move(gate))
    , output(std::move(output))
    , hook(hook)
    , served(std::make_unique<RunApi>(*this))
{
}

RunSession::~RunSession() = default;

RunSession &RunSession::of(lua_State *L)
{
    void *session = nullptr;
    lua_getallocf(L, &session);
    return *static_cast<RunSession *>(session);
}

// Lua's memory, limited: a runaway script fails with "not enough memory" instead of taking the
// IDE's.
void *RunSession::allocate(void *session, void *block, size_t oldSize, size_t newSize)
{
    auto *self = static_cast<RunSession *>(session);
    const size_t old = block ? oldSize : 0; // without a block, oldSize tells the kind of object
    if (newSize == 0) {
        std::free(block);
        self->memoryUsed -= old;
        return nullptr;
    }
    const bool limited = !self->inspecting || self->watching; // a watch is the script's own code
    if (limited && newSize > old && newSize - old > kMemoryLimit - qMin(kMemoryLimit, self->memoryUsed))
        return nullptr;
    void *moved = std::realloc(block, newSize);
    if (moved)
        self->memoryUsed = self->memoryUsed - old + newSize;
    return moved;
}

void RunSession::hookEvent(lua_State *L, lua_Debug *event)
{
    RunSession &session = of(L);
    if (session.watching) {
        session.keepHookInStep(L);
        if (event->event == LUA_HOOKCOUNT && ++session.watchCounts > kWatchInstructions / kHookInstructions) {
            lua_pushfstring(L, "监视表达式执行超过%d条指令，已中止", kWatchInstructions);
            lua_error(L);
        }
    } else if (session.hook && !session.runGate->isStopped() && !session.isUnwinding()) {
        session.hook->event(L, event);
        session.keepHookInStep(L);
    }
    if (session.runGate->isStopped() || session.isUnwinding()) {
        session.unwind(L, Outcome::Stopped);
        lua_error(L);
    }
}

void RunSession::keepHookInStep(lua_State *L)
{
    const int wanted = LUA_MASKCOUNT | (hook && !watching ? hook->mask() : 0);
    if (lua_gethookmask(L) != wanted)
        lua_sethook(L, &RunSession::hookEvent, wanted, kHookInstructions);
}

void RunSession::enterThread(lua_State *co)
{
    running.append(co);
    keepHookInStep(co);
}

void RunSession::leaveThread(lua_State *L)
{
    running.removeLast();
    keepHookInStep(L);
}

void RunSession::noteFailedCoroutine(lua_State *L, lua_State *co)
{
    if (!pushFailureRecord(L, lua_gettop(L))) {
        lua_pop(L, 1);
        lua_newtable(L);
        failed.clear();
    }
    failed.append(co);
    if (lua_checkstack(co, 1)) { // dead, its stack kept as the error left it
        lua_pushthread(co);
        lua_xmove(co, L, 1);
    } else {
        lua_pushnil(L);
    }
    lua_rawseti(L, -2, failed.size());
    lua_rawsetp(L, LUA_REGISTRYINDEX, &failedKey);
}

void RunSession::noteFailureValue(lua_State *L)
{
    lua_rawgetp(L, LUA_REGISTRYINDEX, &failedKey);
    if (lua_istable(L, -1)) {
        lua_pushvalue(L, -2);
        lua_setfield(L, -2, "value");
    }
    lua_pop(L, 1);
}

QVector<lua_State *> RunSession::failedCoroutines(lua_State *L, int error)
{
    const bool same = pushFailureRecord(L, error);
    lua_pop(L, 1);
    return same ? failed : QVector<lua_State *>();
}

void RunSession::passEnding(lua_State *L)
{
    RunSession &session = of(L);
    if (session.isUnwinding()) {
        session.unwind(L, Outcome::Stopped);
        lua_error(L);
    }
}

int RunSession::unwind(lua_State *L, Outcome outcome, const char *message)
{
    if (!isUnwinding()) {
        if (outcome == Outcome::Finished)
            exited = true;
        else
            ending = outcome;
        if (message)
            endMessage = QString::fromUtf8(message);
    }
    lua_pushlightuserdata(L, &endingKey);
    return 1;
}

void RunSession::print(const QString &line)
{
    output->push(line);
}

bool RunSession::pushPlace(lua_State *L)
{
    lua_Debug frame;
    for (int level = 1; lua_getstack(L, level, &frame); ++level) {
        lua_getinfo(L, "Sl", &frame);
        if (frame.currentline > 0) {
            lua_pushfstring(L, "%s第%d行", frame.short_src, frame.currentline);
            return true;
        }
    }
    return false;
}

bool RunSession::loadScript(lua_State *L, const QString &named)
{
    QString failure;
    QByteArray text;
    QByteArray chunkName;
    {
        const Result<QString> relative = scriptPaths.relative(named);
        const Result<QByteArray> read = relative ? RegularFile::readWhole(scriptPaths.projectDirectory()
                                                                              + QLatin1Char('/') + *relative,
                                                                          kScriptLimit)
                                                 : Result<QByteArray>(fail(relative.error()));
        if (!read) {
            failure = QStringLiteral("无法读取脚本“%1”：%2").arg(named, read.error());
        } else if (read->startsWith(LUA_SIGNATURE)) {
            failure = QStringLiteral("脚本“%1”是编译后的代码，本地运行只运行源代码").arg(named);
        } else {
            text = *read;
            if (text.startsWith("\xEF\xBB\xBF")) // a byte-order mark some editors write
                text.remove(0, 3);
            chunkName = '@' + relative->toUtf8();
        }
    }
    if (!failure.isEmpty()) {
        const QByteArray reason = failure.toUtf8();
        if (pushPlace(L)) {
            lua_pushfstring(L, "错误：%s（%s）", reason.constData(), lua_tostring(L, -1));
            lua_remove(L, -2);
        } else {
            lua_pushfstring(L, "错误：%s", reason.constData());
        }
        return false;
    }
    if (luaL_loadbufferx(L, text.constData(), size_t(text.size()), chunkName.constData(), "t") != LUA_OK)
        return false;
    if (hook)
        hook->loaded(L, chunkName.constData());
    return true;
}

int RunSession::runScript(lua_State *L, const char *named)
{
    lua_settop(L, 1);
    if (!of(L).loadScript(L, QString::fromUtf8(named)))
        return lua_error(L);
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - 1;
}

int RunSession::errorHandler(lua_State *L)
{
    RunSession &session = of(L);
    if (session.isUnwinding())
        return 1;
    if (session.hook) {
        lua_settop(L, 1);
        session.hook->uncaught(L, 1, session.failedCoroutines(L, 1));
        lua_settop(L, 1);
        if (session.runGate->isStopped())
            return 1;
    }
    if (!lua_isstring(L, 1)) {
        luaL_tolstring(L, 1, nullptr);
        lua_pushfstring(L, "错误：脚本抛出了%s（%s）", luaL_typename(L, 1), lua_tostring(L, -1));
        lua_replace(L, 1);
        lua_settop(L, 1);
    }
    luaL_traceback(L, L, nullptr, 1);
    // Frames in the scripts, as "lib/a.lua:7: in function 'f'": each leads to its line.
    static const QRegularExpression scriptFrame(QStringLiteral("^\\s*([^\\[].*:\\d+: .*)$"));
    const QStringList lines = QString::fromUtf8(lua_tostring(L, -1)).split(QLatin1Char('\n'));
    session.traceback.clear();
    for (const QString &line : lines) {
        const QRegularExpressionMatch frame = scriptFrame.match(line);
        if (frame.hasMatch())
            session.traceback.append(frame.captured(1));
    }
    lua_settop(L, 1);
    return 1;
}

int RunSession::runMain(lua_State *L)
{
    RunSandbox::install(L);
    RunApi::install(L);
    if (of(L).hook)
        of(L).hook->prepared(L);
    if (!of(L).loadScript(L, Names::mainScript()))
        return lua_error(L);
    lua_call(L, 0, 0);
    for (const char *entry : {"createUI", "main"}) {
        lua_getglobal(L, entry);
        if (lua_isfunction(L, -1))
            lua_call(L, 0, 0);
        else
            lua_pop(L, 1);
    }
    return 0;
}

RunSession::Ending RunSession::run()
{
    state = lua_newstate(&RunSession::allocate, this);
    if (!state)
        return {Outcome::ScriptError, {QStringLiteral("错误：无法创建Lua运行环境")}};
    // Before anything is loaded: coroutines take the hook over when they are made.
    running = {state};
    keepHookInStep(state);
    if (hook)
        runGate->setInterruptHandler([this] {
            hook->interrupted(running.last());
            keepHookInStep(running.last());
        });
    lua_pushcfunction(state, &RunSession::errorHandler);
    lua_pushcfunction(state, &RunSession::runMain);
    const int status = lua_pcall(state, 0, 0, 1);
    runGate->setInterruptHandler(nullptr);
    Ending result = finish(status);
    lua_close(state); // flushes files the script left open
    state = nullptr;
    return result;
}

RunSession::Ending RunSession::finish(int status)
{
    if (status == LUA_OK || (exited && ending == Outcome::Finished))
        return {};
    if (ending == Outcome::Stopped)
        return {Outcome::Stopped, {}};
    if (ending == Outcome::DeviceLost)
        return {Outcome::DeviceLost, {endMessage}};
    if (status == LUA_ERRMEM)
        return {Outcome::ScriptError,
                {QStringLiteral("错误：脚本用尽了本地运行允许的%1 MiB内存").arg(kMemoryLimit >> 20)}};
    const char *message = lua_tostring(state, -1);
    QStringList lines{message ? QString::fromUtf8(message) : QStringLiteral("错误：脚本出错")};
    if (traceback.size() > 1) // one frame only says again where the error is
        lines << QStringLiteral("调用栈：") << traceback;
    return {Outcome::ScriptError, lines};
}
