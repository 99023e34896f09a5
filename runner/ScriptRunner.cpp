#include "runner/ScriptRunner.h"

#include "common/Names.h"
#include "runner/DeviceLink.h"
#include "runner/RunGate.h"
#include "runner/RunOutput.h"
#include "runner/ScriptHook.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

ScriptRunner::ScriptRunner(PCClientControllor &controller, QObject *parent)
    : QObject(parent), controller(controller)
{
    qRegisterMetaType<ScriptRunner::Outcome>();
    FBInfo::registerMetaType();
}

ScriptRunner::~ScriptRunner()
{
    if (!thread)
        return;
    gate->stop();
    thread->wait();
    link->detach();
    delete thread;
}

Status ScriptRunner::start(const QString &projectDirectory, ScriptHook *hook)
{
    if (thread)
        return fail(QStringLiteral("已有脚本在本地运行，请先停止运行。"));
    if (!QFileInfo(QDir(projectDirectory).filePath(Names::mainScript())).isFile())
        return fail(QStringLiteral("[%1]中没有入口脚本%2，无法运行。")
                        .arg(QDir::toNativeSeparators(projectDirectory), Names::mainScript()));

    gate = std::make_shared<RunGate>();
    // Called on the script thread; this outlives the thread (the destructor waits for it).
    output = std::make_shared<RunOutput>(
        [this] { QMetaObject::invokeMethod(this, &ScriptRunner::signal_output, Qt::QueuedConnection); });
    link = std::make_shared<DeviceLink>(controller, gate);
    link->setReadObserver([this](const FBInfo &frame, int inputs, qint64 sinceInput) {
        QMetaObject::invokeMethod(
            this, [this, frame, inputs, sinceInput] { emit signal_screenRead(frame, inputs, sinceInput); },
            Qt::QueuedConnection);
    });
    link->attach();
    if (hook)
        hook->attach(gate);

    auto session = std::make_shared<RunSession>(projectDirectory, link, gate, output, hook);
    thread = QThread::create([this, session] { ending = session->run(); });
    connect(thread, &QThread::finished, this, &ScriptRunner::ended);
    thread->start();
    return Status();
}

void ScriptRunner::stop()
{
    if (thread)
        gate->stop();
}

QString ScriptRunner::takeOutput()
{
    return output ? output->take() : QString();
}

void ScriptRunner::ended()
{
    thread->wait();
    delete thread;
    thread = nullptr;
    link->detach();
    emit signal_finished(ending.outcome, ending.error);
}
