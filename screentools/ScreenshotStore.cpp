#include "screentools/ScreenshotStore.h"

#include "project/Workspace.h"
#include "screentools/ImageFileSaver.h"

#include <QDir>
#include <QFileInfo>

QString ScreenshotStore::modeName(int screencapMode)
{
    return screencapMode == 2 ? QStringLiteral("兼容模式") : QStringLiteral("优化模式");
}

QString ScreenshotStore::directory(const QString &projectName, const std::optional<RemoteScreen> &remote)
{
    const QString project = Workspace::projectPath(projectName);
    if (!remote)
        return project + QStringLiteral("/截图");
    return project + QLatin1Char('/') + modeName(remote->screencapMode) + QLatin1Char('/')
        + QString::asprintf("%dx%d", remote->width, remote->height);
}

QString ScreenshotStore::freeFilePath(const QString &directory, qint64 seconds)
{
    const QString stem = directory + QStringLiteral("/截图_") + QString::number(seconds);
    QString path = stem + QStringLiteral(".bmp");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QLatin1Char('_') + QString::number(n) + QStringLiteral(".bmp");
    return path;
}

Result<QString> ScreenshotStore::save(const QImage &picture, const QString &projectName,
                                      const std::optional<RemoteScreen> &remote, qint64 seconds)
{
    const QString dir = directory(projectName, remote);
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("无法创建目录：") + dir);
    const QString path = freeFilePath(dir, seconds);
    const Status written = ImageFileSaver::write(picture, path);
    if (!written)
        return fail(written.error());
    return path;
}
