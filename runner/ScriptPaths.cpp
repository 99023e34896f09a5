#include "runner/ScriptPaths.h"

#include "common/Names.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool isInside(const QString &path, const QString &directory)
{
    return path == directory || path.startsWith(directory + QLatin1Char('/'));
}

// The nearest part of path that exists, followed through links, must still be inside root.
bool staysInside(const QString &path, const QString &root)
{
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
    QString existing = path;
    while (!QFileInfo::exists(existing) && isInside(existing, root) && existing != root)
        existing = QFileInfo(existing).path();
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return !canonicalRoot.isEmpty() && !canonical.isEmpty() && isInside(canonical, canonicalRoot);
}

} // namespace

ScriptPaths::ScriptPaths(const QString &projectDirectory)
    : root(QDir::cleanPath(QFileInfo(projectDirectory).absoluteFilePath()))
{
}

Result<QString> ScriptPaths::resolve(const QString &named, bool forWriting) const
{
    const bool onDevice = named.startsWith(QLatin1Char('/'));
    const QString base = onDevice ? root + QLatin1Char('/') + Names::runFolder() : root;
    const QString rest = onDevice ? named.mid(1) : named;
    const QString path = QDir::cleanPath(base + QLatin1Char('/') + rest);
    if (named.isEmpty() || named.contains(QLatin1Char('\0')) || QDir::isAbsolutePath(rest) || !isInside(path, base)
        || path == base)
        return fail(QStringLiteral("路径“%1”不在工程目录内").arg(named));
    if (!staysInside(path, root))
        return fail(QStringLiteral("路径“%1”不在工程目录内").arg(named));
    // The device has its folders; the run folder gets them as they are written to.
    if (onDevice && forWriting && (!QDir().mkpath(QFileInfo(path).path()) || !staysInside(path, root)))
        return fail(QStringLiteral("无法创建“%1”所在的文件夹").arg(named));
    return path;
}

Result<QString> ScriptPaths::relative(const QString &named) const
{
    if (named.startsWith(QLatin1Char('/')))
        return fail(QStringLiteral("脚本路径“%1”应相对于工程目录").arg(named));
    const Result<QString> path = resolve(named);
    if (!path)
        return path;
    return path->mid(root.size() + 1);
}
