#pragma once

#include "runner/DebugData.h"
#include "runner/ScriptHook.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QQueue>
#include <QSet>

#include <atomic>
#include <functional>
#include <vector>

class PausedScript;

// The debugger inside a script run, on Lua's hooks: breakpoints, stepping, pausing, and a stop at
// an error nothing catches. While paused the script's thread waits in its hook (or in the wait it
// was in) and reads its frames and values for the interface (PausedScript).
//
// Breakpoints are keyed by chunk name ("@lib/a.lua", the same for included files) and line; one on
// a line without code stops at the next line with code of the loaded chunk (ChunkLines, from the
// chunk's line table). Line events are asked for only while a breakpoint is set or a step goes on;
// then an event costs two flag tests and a look at one bit per line number before anything else.
//
// Stepping depth is read from the stack of the thread stepped in, not counted from calls and
// returns (which tail calls and errors break), and is kept per coroutine: stepping over a line
// that resumes a coroutine does not stop in it; a step in a coroutine ends in it or, once it has
// yielded, returned or failed, in the thread that resumed it.
//
// setBreakpoints(), pause(), resume() and inspect() may be called from any thread; the rest runs
// on the script's.
class DebugEngine : public ScriptHook
{
public:
    enum class Step { Continue, Over, Into, Out };
    // Told on the script's thread; the receiver passes it on to its own.
    struct Listener
    {
        std::function<void(const DebugPause &)> paused;
        std::function<void()> resumed;
    };
    // Done on the script's thread while it is paused; given null when it no longer is.
    using Work = std::function<void(PausedScript *)>;

    explicit DebugEngine(Listener listener, bool pauseAtStart = false);
    ~DebugEngine() override;

    // The lines asked for in the chunk; none clears them.
    void setBreakpoints(const QByteArray &chunk, const QVector<int> &lines);
    void pause();
    // Whether an error nothing catches pauses the run (as it does at first) or ends it at once.
    void setStopAtErrors(bool stops) { errorsStop = stops; }
    // Goes on from a pause; ignored when not paused.
    void resume(Step step);
    void inspect(Work work);
    // After the run: work still waiting is given null.
    void drain();

    void attach(std::shared_ptr<RunGate> gate) override;
    int mask() const override;
    void prepared(lua_State *L) override;
    void loaded(lua_State *L, const char *chunkName) override;
    void event(lua_State *L, lua_Debug *event) override;
    void interrupted(lua_State *L) override;
    void uncaught(lua_State *L, int level, const QVector<lua_State *> &inside) override;

private:
    struct Command
    {
        Work work; // else a resume
        Step step = Step::Continue;
    };

    void enqueue(Command command);
    void takeBreakpoints();
    bool atBreakpoint(lua_State *L, lua_Debug *event);
    bool stepEnds(lua_State *L);
    void stop(lua_State *L, DebugPause::Reason reason, int firstLevel, const QString &message = QString(),
              const QVector<lua_State *> &inside = {});
    void beginStep(lua_State *L, Step kind);
    void endStep(lua_State *L);

    const Listener listener;
    std::shared_ptr<RunGate> gate;

    QMutex lock; // guards:
    QHash<QByteArray, QVector<int>> asked;
    QQueue<Command> commands;

    std::atomic<bool> breakpointsChanged{false};
    std::atomic<bool> pauseAsked{false};
    std::atomic<bool> errorsStop{true};
    std::atomic<int> breakpointMask{0};
    std::atomic<int> stepMask{0};

    // Script thread:
    QHash<QByteArray, QVector<int>> codeLines; // of each chunk loaded
    QHash<QByteArray, QSet<int>> stopsAt;      // where breakpoints stop, by chunk
    std::vector<bool> stopLine;                // a breakpoint stops at this line in some chunk
    struct Stepping
    {
        Step kind = Step::Continue;
        bool entry = false;
        QVector<lua_State *> threads; // running when the step began, innermost last
        int depth = 0;                // of the innermost, in frames
        int pinned = -2;              // registry reference keeping the threads
    } step;
    bool paused = false;
};
