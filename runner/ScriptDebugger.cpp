#include "runner/ScriptDebugger.h"

#include "common/RegularFile.h"
#include "runner/ChunkLines.h"
#include "runner/PausedScript.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr qint64 kScriptLimit = 16 << 20;

} // namespace

ScriptDebugger::ScriptDebugger(PCClientControllor &controller, QObject *parent)
    : QObject(parent), scriptRunner(controller)
{
    connect(&scriptRunner, &ScriptRunner::signal_finished, this, [this] {
        if (engine)
            engine->drain();
        if (paused) {
            paused.reset();
            emit signal_resumed();
        }
    });
}

ScriptDebugger::~ScriptDebugger() = default;

void ScriptDebugger::post(std::function<void()> f)
{
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

Status ScriptDebugger::start(const QString &projectDirectory, bool pauseAtStart)
{
    if (scriptRunner.isRunning())
        return fail(QStringLiteral("已有脚本在本地运行，请先停止运行。"));
    DebugEngine::Listener listener;
    listener.paused = [this](const DebugPause &pause) {
        post([this, pause] {
            paused = pause;
            emit signal_paused();
        });
    };
    listener.resumed = [this] {
        post([this] {
            if (paused) {
                paused.reset();
                emit signal_resumed();
            }
        });
    };
    engine = std::make_shared<DebugEngine>(listener, pauseAtStart);
    engine->setStopAtErrors(errorsStop);
    project = fileKey(projectDirectory);
    for (auto file = breakpoints.cbegin(); file != breakpoints.cend(); ++file)
        tellEngine(file.key());
    return scriptRunner.start(project, engine.get());
}

QString ScriptDebugger::scriptOf(const QString &file) const
{
    if (project.isEmpty())
        return QString();
    QString path = fileKey(file);
    QString root = project;
    if (!path.startsWith(root + QLatin1Char('/'))) { // through a link, maybe
        path = QFileInfo(path).canonicalFilePath();
        root = QFileInfo(root).canonicalFilePath();
        if (path.isEmpty() || root.isEmpty() || !path.startsWith(root + QLatin1Char('/')))
            return QString();
    }
    return path.mid(root.size() + 1);
}

QString ScriptDebugger::fileOf(const QString &script) const
{
    return script.isEmpty() ? QString() : project + QLatin1Char('/') + script;
}

void ScriptDebugger::tellEngine(const QString &file)
{
    const QString script = scriptOf(file);
    if (engine && !script.isEmpty())
        engine->setBreakpoints('@' + script.toUtf8(), breakpoints.value(file));
}

QString ScriptDebugger::fileKey(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

Result<QVector<int>> ScriptDebugger::setBreakpoints(const QString &file, const QVector<int> &lines)
{
    const QString path = fileKey(file);
    if (lines.isEmpty())
        breakpoints.remove(path);
    else
        breakpoints.insert(path, lines);
    tellEngine(path);
    if (lines.isEmpty())
        return lines;
    const Result<QByteArray> text = RegularFile::readWhole(path, kScriptLimit);
    if (!text)
        return fail(text.error());
    const Result<QVector<int>> code = ChunkLines::ofText(*text, QFileInfo(path).fileName());
    if (!code)
        return fail(code.error());
    QVector<int> stops;
    for (const int line : lines)
        stops.append(ChunkLines::stopLine(*code, line));
    return stops;
}

void ScriptDebugger::setStopAtErrors(bool stops)
{
    errorsStop = stops;
    if (engine)
        engine->setStopAtErrors(stops);
}

void ScriptDebugger::resume(Step step)
{
    if (paused)
        engine->resume(step);
}

void ScriptDebugger::pause()
{
    if (engine && scriptRunner.isRunning() && !paused)
        engine->pause();
}

void ScriptDebugger::variables(int handle, std::function<void(QVector<DebugVariable>)> answer)
{
    if (!paused) {
        answer({});
        return;
    }
    engine->inspect([this, handle, answer](PausedScript *script) {
        const QVector<DebugVariable> found = script ? script->children(handle) : QVector<DebugVariable>();
        post([answer, found] { answer(found); });
    });
}

void ScriptDebugger::evaluate(const QString &expression, int frame,
                              std::function<void(Result<DebugVariable>)> answer)
{
    const QString notPaused = QStringLiteral("脚本暂停时才能求值");
    if (!paused) {
        answer(fail(notPaused));
        return;
    }
    engine->inspect([this, expression, frame, answer, notPaused](PausedScript *script) {
        const Result<DebugVariable> value = script ? script->evaluate(expression, frame) : Result<DebugVariable>(fail(notPaused));
        post([answer, value] { answer(value); });
    });
}
