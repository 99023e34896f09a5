#include "toolchain/BuildLock.h"

#include "common/Names.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

#include <utility>

Result<BuildLock::Held> BuildLock::take(const QString &projectDirectory)
{
    const QString path = projectDirectory + QLatin1Char('/') + Names::buildLock();
    const QString project = QDir::toNativeSeparators(projectDirectory);
    const QString shownPath = QDir::toNativeSeparators(path);
    const QString persists = QStringLiteral("若此提示一直出现，请删除锁文件[%1]后再试。").arg(shownPath);
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0); // a long build is not stale: only a holder that is gone is
    if (lock->tryLock(0))
        return Held{std::move(lock), QString()};
    // A directory where no lock can be made takes no other file either: the build says why.
    if (lock->error() == QLockFile::PermissionError)
        return Held{nullptr, QString()};
    if (lock->error() != QLockFile::LockFailedError)
        return fail(QStringLiteral("无法在工程[%1]中建立锁文件%2。").arg(project, Names::buildLock()));

    qint64 pid = 0;
    QString host;
    QString program;
    const bool named = lock->getLockInfo(&pid, &host, &program);
    const bool elsewhere = named && !host.isEmpty() && host != QSysInfo::machineHostName();
    if (named && !elsewhere)
        return fail(QStringLiteral("工程[%1]正在被另一个编译进程（进程号%2）编译或检查，请等它结束后再试。").arg(project).arg(pid)
                    + persists);

    const QString holder = elsewhere ? QStringLiteral("来自另一台计算机（%1）").arg(host) : QStringLiteral("没有写明持有者");
    const qint64 age = QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime());
    if (qAbs(age) <= TakeOverSeconds)
        return fail(QStringLiteral("工程[%1]的锁文件%2，可能正在被编译或检查；它在%3秒后会被接管。").arg(project, holder).arg(TakeOverSeconds)
                    + persists);
    // Removed only when no process holds it open as its lock; then taken like a free one.
    if (!lock->removeStaleLockFile() || !lock->tryLock(0))
        return fail(QStringLiteral("工程[%1]的锁文件%2，但无法接管它。").arg(project, holder) + persists);
    return Held{std::move(lock), QStringLiteral("锁文件[%1]%2，已接管。").arg(shownPath, holder)};
}
