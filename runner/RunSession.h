#pragma once

#include "runner/ScriptPaths.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

struct lua_Debug;
struct lua_State;
class DeviceLink;
class RunApi;
class RunGate;
class RunOutput;
class ScriptHook;

// One run of a project's scripts on the script thread, in one Lua state with one global table,
// in the device's order: the main script's chunk, then createUI() if the script defines it,
// then main(). Scripts are loaded as text only and named by their path in the project
// ("@lib/a.lua"), so a runtime error reads "lib/a.lua:7: ...".
//
// A run ends when main() returns, on an error nothing catches, on exit(), when it is stopped or
// when the device is lost. The last three end it whatever the script does: the error that
// carries them passes through pcall, xpcall, coroutine.resume and load, and a stop is seen every
// few thousand instructions in any coroutine and in every wait.
//
// The state is made, used and closed on the script thread alone.
class RunSession
{
public:
    enum class Outcome { Finished, ScriptError, DeviceLost, Stopped };
    struct Ending
    {
        Outcome outcome = Outcome::Finished;
        QStringList error; // the message, then the Lua frames that led to it
    };

    static constexpr int kHookInstructions = 1000;
    static constexpr int kWatchInstructions = 1000000;
    static constexpr size_t kMemoryLimit = size_t(512) << 20;

    RunSession(const QString &projectDirectory, std::shared_ptr<DeviceLink> device, std::shared_ptr<RunGate> gate,
               std::shared_ptr<RunOutput> output, ScriptHook *hook = nullptr);
    ~RunSession();
    RunSession(const RunSession &) = delete;
    RunSession &operator=(const RunSession &) = delete;

    // Script thread.
    Ending run();

    // For the functions the script calls, on the script thread.
    static RunSession &of(lua_State *L);
    DeviceLink &device() { return *link; }
    RunGate &gate() { return *runGate; }
    RunApi &api() { return *served; }
    const ScriptPaths &paths() const { return scriptPaths; }
    void print(const QString &line);
    // Ends the run from inside the script: pushes the error that nothing in the script keeps
    // and returns the count for lua_error(). message, when given, is the run's last error line.
    int unwind(lua_State *L, Outcome outcome, const char *message = nullptr);
    bool isUnwinding() const { return ending != Outcome::Finished || exited; }
    int exitScript(lua_State *L);
    // Pushes "<path>第<n>行", the place in the script that called the running function; false
    // (and nothing pushed) when no script called it.
    static bool pushPlace(lua_State *L);
    // Loads a script of the project (a path relative to it) as a text chunk named after it and
    // pushes it; on failure pushes the message and returns false.
    bool loadScript(lua_State *L, const QString &named);
    // Loads that script (named by argument 1) and runs it, leaving what it returns: include()
    // and dofile().
    static int runScript(lua_State *L, const char *named);
    // Raises the run's ending again if the call that just returned caught it.
    static void passEnding(lua_State *L);

    // The threads running now, innermost last: the main thread, then each coroutine resumed
    // from the one before.
    const QVector<lua_State *> &threads() const { return running; }
    // co is resumed from the innermost thread; then control is back in L (co yielded, returned or
    // failed). Each brings the thread's hook in step.
    void enterThread(lua_State *co);
    void leaveThread(lua_State *L);
    // co (resumed through coroutine.wrap) died of the error on top of L, which goes on to L's
    // caller; an error that came out of coroutines before is followed through them.
    void noteFailedCoroutine(lua_State *L, lua_State *co);
    void noteFailureValue(lua_State *L);

    // While a debugger reads the paused script, Lua allocates beyond the script's limit, so the
    // reading never fails half way; watch expressions keep to it.
    void setInspecting(bool on) { inspecting = on; }
    // While a watch expression is evaluated, what would act on the device or end the run is
    // refused, its instructions are limited and no debugger sees them.
    void setWatching(bool on)
    {
        watching = on;
        watchCounts = 0;
    }
    bool isWatching() const { return watching; }

private:
    static void *allocate(void *session, void *block, size_t oldSize, size_t newSize);
    static void hookEvent(lua_State *L, lua_Debug *event);
    static int errorHandler(lua_State *L);
    static int runMain(lua_State *L);
    Ending finish(int status);
    void keepHookInStep(lua_State *L);
    QVector<lua_State *> failedCoroutines(lua_State *L, int error);

    ScriptPaths scriptPaths;
    const std::shared_ptr<DeviceLink> link;
    const std::shared_ptr<RunGate> runGate;
    const std::shared_ptr<RunOutput> output;
    ScriptHook *const hook;
    std::unique_ptr<RunApi> served;
    lua_State *state = nullptr;
    size_t memoryUsed = 0;
    Outcome ending = Outcome::Finished; // Stopped or DeviceLost once the run must end
    bool exited = false;
    QString endMessage;
    QStringList traceback;
    QVector<lua_State *> running;
    QVector<lua_State *> failed; // pinned in the registry with the error they passed on
    bool inspecting = false;
    bool watching = false;
    int watchCounts = 0;
};
