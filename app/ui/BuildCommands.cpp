#include "app/ui/BuildCommands.h"

#include "editor/ui/ScriptTabs.h"
#include "project/ActiveProject.h"
#include "toolchain/GlobalNameCheck.h"
#include "toolchain/ProjectBuilder.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QThread>

#include <deque>

namespace {

// Reports taken at a time, and how long one turn of the event loop may spend on them.
constexpr int kReportsPerStep = 100;
constexpr qint64 kBudgetMs = 8;

} // namespace

// One thing the builder said: a line, a finding, or that it has ended.
struct BuildCommands::Report
{
    QString line;
    std::optional<Diagnostic> found;
    std::optional<bool> finished;
    std::optional<ScriptFacts> facts; // of the script at line
};

struct BuildCommands::Reports
{
    QMutex lock;
    std::deque<Report> waiting;
    bool taking = false; // a takeReports() is on its way
    bool dropped = false; // of a cancelled command: no more are kept
};

BuildCommands::BuildCommands(ActiveProject &project, ScriptTabs &scripts, QObject *parent)
    : QObject(parent)
    , project(project)
    , scripts(scripts)
    , reports(std::make_unique<Reports>())
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
    if (package && scriptRunning && scriptRunning())
        return fail(QStringLiteral("脚本正在本地运行，请先停止运行（Shift+F5）再编译工程。"));
    const QString name = project.name();
    const QString directory = project.directory();
    // A script whose save failed would be built from its old text on disk.
    const Status saved = directory.isEmpty() ? Status() : scripts.saveUnder(directory);
    emit signal_outputCleared();
    scripts.clearCheckMarks();
    firstError.reset();
    warnings = 0;
    doing = package ? QStringLiteral("编译") : QStringLiteral("检查");
    emit signal_activity(QStringLiteral("正在%1工程%2...").arg(doing, name));
    if (!saved || directory.isEmpty()) {
        emit signal_diagnostic(Diagnostic::error(
            saved ? ProjectBuilder::noActiveProjectMessage()
                  : QStringLiteral("脚本[%1]未能保存，编译已取消。").arg(saved.error())));
        emit signal_activity(QString());
        emit signal_finished(false);
        return Status();
    }

    // What the builder says waits, in order, until this thread takes it.
    {
        QMutexLocker locker(&reports->lock);
        reports->dropped = false;
    }
    const auto report = [this](Report said) {
        QMutexLocker locker(&reports->lock);
        if (reports->dropped)
            return;
        reports->waiting.push_back(std::move(said));
        if (!reports->taking) {
            reports->taking = true;
            QMetaObject::invokeMethod(this, &BuildCommands::takeReports, Qt::QueuedConnection);
        }
    };
    builder = std::make_unique<ProjectBuilder>(ProjectBuilder::Output{
        [report](const QString &line) { report({line, std::nullopt, std::nullopt, std::nullopt}); },
        [report](const Diagnostic &found) { report({QString(), found, std::nullopt, std::nullopt}); },
        [report](const QString &path, const ScriptFacts &facts) { report({path, std::nullopt, std::nullopt, facts}); }});
    worker = QThread::create([report, package, name, directory, builder = builder.get()] {
        const bool ok = package ? builder->build(name, directory) : builder->check(name, directory);
        report({QString(), std::nullopt, ok, std::nullopt});
    });
    worker->start();
    return Status();
}

void BuildCommands::takeReports()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kBudgetMs) {
        std::deque<Report> taken;
        {
            QMutexLocker locker(&reports->lock);
            if (reports->waiting.empty()) {
                reports->taking = false;
                return;
            }
            const auto end = reports->waiting.begin() + qMin<qsizetype>(kReportsPerStep, reports->waiting.size());
            std::move(reports->waiting.begin(), end, std::back_inserter(taken));
            reports->waiting.erase(reports->waiting.begin(), end);
        }
        for (const Report &said : taken) {
            if (said.facts) {
                emit signal_facts(said.line, *said.facts);
            } else if (said.found) {
                take(*said.found);
            } else if (said.finished) {
                finish(*said.finished);
            } else {
                emit signal_output(said.line);
                emit signal_activity(doing + QStringLiteral("中：") + said.line);
            }
        }
    }
    // The rest at the next turn, after whatever else waits.
    QMetaObject::invokeMethod(this, &BuildCommands::takeReports, Qt::QueuedConnection);
}

void BuildCommands::take(const Diagnostic &found)
{
    emit signal_diagnostic(found);
    // The check's last line counts its warnings; it is no problem of its own.
    if (found.kind == Diagnostic::Kind::Warning && !found.hasPlace() && found.message == GlobalNameCheck::summary(warnings))
        return;
    if (found.kind == Diagnostic::Kind::Warning)
        ++warnings;
    emit signal_problem(found);
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
    emit signal_activity(QString());
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
    {
        QMutexLocker locker(&reports->lock);
        reports->dropped = true;
        reports->waiting.clear();
    }
    stop();
    emit signal_activity(QString());
}

void BuildCommands::stop()
{
    worker->wait();
    delete worker;
    worker = nullptr;
    builder.reset();
}
