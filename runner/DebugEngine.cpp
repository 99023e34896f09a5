#include "runner/DebugEngine.h"

#include "runner/ChunkLines.h"
#include "runner/LuaValueText.h"
#include "runner/PausedScript.h"
#include "runner/RunGate.h"
#include "runner/RunSession.h"

#include <lauxlib.h>
#include <lua.h>

#include <cstring>

namespace {

// Frames on the thread's stack, C functions included: found by doubling, then halving, since
// reaching a level walks every level above it.
int stackDepth(lua_State *L)
{
    lua_Debug frame;
    if (!lua_getstack(L, 0, &frame))
        return 0;
    int known = 0;
    int missing = 1;
    while (lua_getstack(L, missing, &frame)) {
        known = missing;
        missing *= 2;
    }
    while (missing - known > 1) {
        const int middle = known + (missing - known) / 2;
        (lua_getstack(L, middle, &frame) ? known : missing) = middle;
    }
    return known + 1;
}

// The depth of the innermost Lua function: a pause in a wait is in the C function that waits.
int luaDepth(lua_State *L)
{
    lua_Debug frame;
    int above = 0;
    while (lua_getstack(L, above, &frame) && lua_getinfo(L, "S", &frame) && frame.what[0] == 'C')
        ++above;
    return stackDepth(L) - above;
}

int appendDump(lua_State *, const void *bytes, size_t size, void *dump)
{
    static_cast<QByteArray *>(dump)->append(static_cast<const char *>(bytes), int(size));
    return 0;
}

} // namespace

DebugEngine::DebugEngine(Listener listener, bool pauseAtStart)
    : listener(std::move(listener))
{
    if (pauseAtStart) {
        step.kind = Step::Into;
        step.entry = true;
        stepMask = LUA_MASKLINE;
    }
}

DebugEngine::~DebugEngine() = default;

// ---- Any thread -------------------------------------------------------------------------------

void DebugEngine::setBreakpoints(const QByteArray &chunk, const QVector<int> &lines)
{
    {
        QMutexLocker locker(&lock);
        if (lines.isEmpty())
            asked.remove(chunk);
        else
            asked.insert(chunk, lines);
        breakpointMask = asked.isEmpty() ? 0 : LUA_MASKLINE;
    }
    breakpointsChanged = true;
}

void DebugEngine::pause()
{
    pauseAsked = true;
    if (gate)
        gate->interrupt(); // a script that waits pauses in its wait
}

void DebugEngine::resume(Step kind)
{
    enqueue({nullptr, kind});
}

void DebugEngine::inspect(Work work)
{
    enqueue({std::move(work), Step::Continue});
}

void DebugEngine::enqueue(Command command)
{
    {
        QMutexLocker locker(&lock);
        commands.enqueue(std::move(command));
    }
    if (gate)
        gate->update([] {});
}

void DebugEngine::drain()
{
    QQueue<Command> left;
    {
        QMutexLocker locker(&lock);
        left.swap(commands);
    }
    for (const Command &command : left) {
        if (command.work)
            command.work(nullptr);
    }
}

void DebugEngine::attach(std::shared_ptr<RunGate> runGate)
{
    gate = std::move(runGate);
}

int DebugEngine::mask() const
{
    return breakpointMask.load(std::memory_order_relaxed) | stepMask.load(std::memory_order_relaxed);
}

// ---- Script thread ----------------------------------------------------------------------------

void DebugEngine::prepared(lua_State *L)
{
    PausedScript::noteStartingGlobals(L);
}

void DebugEngine::loaded(lua_State *L, const char *chunkName)
{
    QByteArray dump;
    lua_dump(L, appendDump, &dump);
    codeLines.insert(QByteArray(chunkName), ChunkLines::ofDump(dump).valueOr({}));
    takeBreakpoints();
}

void DebugEngine::takeBreakpoints()
{
    breakpointsChanged = false;
    QHash<QByteArray, QVector<int>> lines;
    {
        QMutexLocker locker(&lock);
        lines = asked;
    }
    stopsAt.clear();
    stopLine.assign(stopLine.size(), false);
    for (auto chunk = lines.cbegin(); chunk != lines.cend(); ++chunk) {
        const QVector<int> code = codeLines.value(chunk.key());
        for (const int line : chunk.value()) {
            const int stopsHere = ChunkLines::stopLine(code, line);
            if (stopsHere <= 0)
                continue;
            stopsAt[chunk.key()].insert(stopsHere);
            if (size_t(stopsHere) >= stopLine.size())
                stopLine.resize(size_t(stopsHere) + 1, false);
            stopLine[size_t(stopsHere)] = true;
        }
    }
}

void DebugEngine::event(lua_State *L, lua_Debug *event)
{
    if (breakpointsChanged.load(std::memory_order_relaxed))
        takeBreakpoints();
    if (pauseAsked.load(std::memory_order_relaxed)) {
        stop(L, DebugPause::Reason::Pause, 0);
        return;
    }
    if (event->event == LUA_HOOKLINE) {
        if (step.kind != Step::Continue && stepEnds(L))
            stop(L, step.entry ? DebugPause::Reason::Entry : DebugPause::Reason::Step, 0);
        else if (size_t(event->currentline) < stopLine.size() && stopLine[size_t(event->currentline)]
                 && atBreakpoint(L, event))
            stop(L, DebugPause::Reason::Breakpoint, 0);
    } else if (event->event == LUA_HOOKTAILCALL && step.kind == Step::Over && step.threads.last() == L) {
        // The function stepped over in is being replaced: the step ends back in its caller. The
        // called function's frame is still above the caller's at this event.
        lua_Debug frame;
        if (lua_getstack(L, step.depth, &frame) && !lua_getstack(L, step.depth + 1, &frame))
            --step.depth;
    }
}

bool DebugEngine::atBreakpoint(lua_State *L, lua_Debug *event)
{
    lua_getinfo(L, "S", event);
    const auto lines = stopsAt.constFind(QByteArray::fromRawData(event->source, int(std::strlen(event->source))));
    return lines != stopsAt.cend() && lines->contains(event->currentline);
}

bool DebugEngine::stepEnds(lua_State *L)
{
    if (step.kind == Step::Into)
        return true;
    const int at = step.threads.indexOf(L);
    if (at < 0)
        return false; // a coroutine resumed from the one stepped in
    if (at < step.threads.size() - 1)
        return true; // back in a thread that resumed it: it has yielded, returned or failed
    lua_Debug frame;
    return !lua_getstack(L, step.kind == Step::Over ? step.depth : step.depth - 1, &frame);
}

void DebugEngine::interrupted(lua_State *L)
{
    if (!paused && pauseAsked)
        stop(L, DebugPause::Reason::Pause, 0);
}

void DebugEngine::uncaught(lua_State *L, int level, const QVector<lua_State *> &inside)
{
    if (!errorsStop)
        return;
    // A script that does not compile, before any of its code runs, has nothing to look at.
    bool inScript = !inside.isEmpty();
    lua_Debug frame;
    for (int at = level; !inScript && lua_getstack(L, at, &frame); ++at)
        inScript = lua_getinfo(L, "S", &frame) && frame.what[0] != 'C';
    if (!inScript)
        return;
    stop(L, DebugPause::Reason::Error, level, LuaValueText::plain(L, -1), inside);
}

void DebugEngine::stop(lua_State *L, DebugPause::Reason reason, int firstLevel, const QString &message,
                       const QVector<lua_State *> &inside)
{
    RunSession &session = RunSession::of(L);
    pauseAsked = false;
    endStep(L);
    paused = true;
    // No collection while paused: a finalizer would run script code in the middle of the reading.
    const bool collecting = lua_gc(L, LUA_GCISRUNNING, 0);
    lua_gc(L, LUA_GCSTOP, 0);
    session.setInspecting(true);
    Step next = Step::Continue;
    {
        QVector<lua_State *> threads = inside;
        for (auto thread = session.threads().crbegin(); thread != session.threads().crend(); ++thread)
            threads.append(*thread);
        PausedScript script(L, threads, firstLevel);
        listener.paused({reason, message, script.frames(), script.globals()});
        for (;;) {
            Command command;
            const bool taken = gate->wait([&] {
                QMutexLocker locker(&lock);
                if (commands.isEmpty())
                    return false;
                command = commands.dequeue();
                return true;
            });
            if (!taken)
                break; // stopped
            if (!command.work) {
                next = command.step;
                break;
            }
            command.work(&script);
        }
    }
    session.setInspecting(false);
    if (collecting)
        lua_gc(L, LUA_GCRESTART, 0);
    paused = false;
    pauseAsked = false; // asked while paused: already done
    if (reason != DebugPause::Reason::Error && !gate->isStopped())
        beginStep(L, next);
    listener.resumed();
    drain();
}

void DebugEngine::beginStep(lua_State *L, Step kind)
{
    step.kind = kind;
    step.entry = false;
    if (kind == Step::Continue)
        return;
    const RunSession &session = RunSession::of(L);
    step.threads = session.threads();
    step.depth = luaDepth(L);
    // Kept from being collected while the step lasts: a new coroutine could get the address.
    lua_createtable(L, step.threads.size(), 0);
    for (int i = 0; i < step.threads.size(); ++i) {
        lua_State *thread = step.threads[i];
        if (thread != L && !lua_checkstack(thread, 1))
            continue;
        lua_pushthread(thread);
        if (thread != L)
            lua_xmove(thread, L, 1);
        lua_rawseti(L, -2, i + 1);
    }
    step.pinned = luaL_ref(L, LUA_REGISTRYINDEX);
    stepMask = LUA_MASKLINE | (kind == Step::Over ? LUA_MASKCALL : 0);
}

void DebugEngine::endStep(lua_State *L)
{
    step.kind = Step::Continue;
    step.entry = false;
    step.threads.clear();
    luaL_unref(L, LUA_REGISTRYINDEX, step.pinned);
    step.pinned = LUA_NOREF;
    stepMask = 0;
}
