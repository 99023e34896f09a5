#include "app/ui/BuildCommands.h"

#include "editor/ui/ScriptTabs.h"
#include "project/ActiveProject.h"
#include "toolchain/ProjectBuilder.h"

#include <QThread>

#include <functional>

BuildCommands::BuildCommands(ActiveProject &project, ScriptTabs &scripts, QObject *parent)
    : QObject(parent)
    , project(project)
    , scripts(scripts)
{
}

BuildCommands::~BuildCommands()
{
    cancel();
}

Status BuildCommands::check()
{
    return start(false);
}

Status BuildCommands::build()
{
    return start(true);
}

Status BuildCommands::start(bool package)
{
    if (isRunning())
        return fail(QStringLiteral("正在编译，请等这次编译结束后再试。"));
    const QString name = project.name();
    const QString directory = project.directory();
    // A script whose save failed would be built from its old text on disk.
    const Status saved = directory.isEmpty() ? Status() : scripts.saveUnder(directory);
    emit signal_outputCleared();
    scripts.clearCheckMarks();
    firstError.reset();
    if (!saved || directory.isEmpty()) {
        emit signal_diagnostic(Diagnostic::error(
            saved ? ProjectBuilder::noActiveProjectMessage()
                  : QStringLiteral("脚本[%1]未能保存，编译已取消。").arg(saved.error())));
        emit signal_finished(false);
        return Status();
    }

    // What the builder reports crosses to this thread in order; nothing arrives once this
    // object is gone, nor from a command that was cancelled.
    const int id = ++run;
    const auto post = [this, id](std::function<void()> what) {
        QMetaObject::invokeMethod(this, [this, id, what] {
            if (id == run)
                what();
        }, Qt::QueuedConnection);
    };
    builder = std::make_unique<ProjectBuilder>(ProjectBuilder::Output{
        [this, post](const QString &line) { post([this, line] { emit signal_output(line); }); },
        [this, post](const Diagnostic &found) { post([this, found] { take(found); }); }});
    worker = QThread::create([this, post, package, name, directory, builder = builder.get()] {
        const bool ok = package ? builder->build(name, directory) : builder->check(name, directory);
        post([this, ok] { finish(ok); });
    });
    worker->start();
    return Status();
}

void BuildCommands::take(const Diagnostic &found)
{
    emit signal_diagnostic(found);
    if (!found.hasPlace())
        return;
    if (found.kind != Diagnostic::Kind::Error)
        scripts.mark(found);
    else if (!firstError)
        firstError = found;
}

void BuildCommands::finish(bool ok)
{
    stop();
    // To the first syntax error, in its script; one that cannot be opened is still in the output.
    if (!ok && firstError)
        static_cast<void>(scripts.goTo(*firstError));
    emit signal_finished(ok);
}

void BuildCommands::cancel()
{
    if (!worker)
        return;
    builder->cancel();
    ++run; // what it still reports is dropped
    stop();
}

void BuildCommands::stop()
{
    worker->wait();
    delete worker;
    worker = nullptr;
    builder.reset();
}
