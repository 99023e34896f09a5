#include "project/ProjectFile.h"

#include "common/Names.h"
#include "common/AtomicFile.h"
#include "common/RegularFile.h"
#include "project/FileOperations.h"
#include "project/TaggedText.h"
#include "project/Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const char *const kTemplateLines[] = {
    "-----------------------------------------------------------------------",
    "-- 本文件为脚本入口文件，请不要删除",
    "-- 该脚本适用于Kestrun2.0.1及以上版本",
    "-- 脚本从main()开始执行",
    "-- 脚本界面从createUI()开始执行，脚本可以无界面",
    "-----------------------------------------------------------------------",
    "",
    "-- 创建脚本界面入口",
    "function createUI()",
    "\tshowLoopSetting(false)",
    "\t",
    "end",
    "",
    "-- 脚本执行入口",
    "function main()",
    "\t",
    "end",
    "",
    "--if getKestrunVersion() < 201 then",
    "--\tmain()",
    "--end",
    "",
};

constexpr qint64 kMaxProjectFileSize = 1 << 20;

Status writeWhole(const QString &path, const QByteArray &bytes)
{
    const Status written = AtomicFile::writeWhole(path, bytes);
    if (!written)
        return fail(QStringLiteral("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(path), written.error()));
    return written;
}

} // namespace

QByteArray ProjectFile::projectFileBytes(const QString &name, const QString &description)
{
    QByteArray bytes;
    bytes += "<project>\r\n";
    bytes += " <name>" + name.toUtf8() + "</name>\r\n";
    bytes += " <desc>" + description.toUtf8() + "</desc>\r\n";
    bytes += " <script>" + Names::mainScript().toUtf8() + "</script>\r\n";
    bytes += "</project>\r\n";
    return bytes;
}

QByteArray ProjectFile::mainScriptTemplate()
{
    QByteArray bytes;
    for (const char *line : kTemplateLines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

ProjectInfo ProjectFile::parse(const QByteArray &bytes)
{
    const int zero = bytes.indexOf('\0');
    const QString text = QString::fromUtf8(zero < 0 ? bytes : bytes.left(zero));
    return {TaggedText::value(text, QStringLiteral("name")), TaggedText::value(text, QStringLiteral("desc"))};
}

Result<ProjectInfo> ProjectFile::read(const QString &projectDirectory)
{
    const QString path = Workspace::projectFilePath(projectDirectory);
    if (!QFileInfo::exists(path))
        return ProjectInfo();
    // A project file is a few lines; a pipe in its place must not hold up the caller.
    const Result<QByteArray> bytes = RegularFile::readWhole(path, kMaxProjectFileSize);
    if (!bytes)
        return fail(QStringLiteral("无法读取工程文件[%1]：%2").arg(QDir::toNativeSeparators(path), bytes.error()));
    return parse(*bytes);
}

Result<FileOperations::Creation> ProjectFile::create(const QString &projectDirectory, const QString &name,
                                                     const QString &description)
{
    const QString projectFile = Workspace::projectFilePath(projectDirectory);
    if (QFileInfo(projectDirectory).isDir() && QFileInfo::exists(projectFile))
        return FileOperations::Creation::AlreadyExists;

    QDir dir;
    if (!dir.mkpath(projectDirectory) || !dir.mkpath(projectDirectory + QStringLiteral("/assets")))
        return fail(QStringLiteral("无法创建目录 %1").arg(QDir::toNativeSeparators(projectDirectory)));
    // A directory that becomes a project may already hold the author's own entry script.
    const QString mainScript = projectDirectory + QLatin1Char('/') + Names::mainScript();
    if (!QFileInfo::exists(mainScript)) {
        const Status written = writeWhole(mainScript, mainScriptTemplate());
        if (!written)
            return fail(written.error());
    }
    const Status written = writeWhole(projectFile, projectFileBytes(name, description));
    if (!written)
        return fail(written.error());
    return FileOperations::Creation::Created;
}
