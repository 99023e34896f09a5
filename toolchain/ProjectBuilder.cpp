#include "toolchain/ProjectBuilder.h"

#include "common/Names.h"
#include "toolchain/Package.h"
#include "toolchain/ScriptCompiler.h"
#include "project/DirListing.h"
#include "project/ProjectFile.h"
#include "project/Workspace.h"

#include <QFile>

ProjectBuilder::ProjectBuilder(Output output)
    : out(std::move(output))
{
}

QString ProjectBuilder::noActiveProjectMessage()
{
    return QStringLiteral("当前未设定活动工程，无法编译。请在工程目录中右键点击一个工程，选择“设为活动工程”。");
}

bool ProjectBuilder::check(const QString &projectName, const QString &projectDirectory)
{
    out.line(QStringLiteral("当前活动工程：") + projectName);
    out.line(QStringLiteral("开始检查脚本语法并编译脚本..."));
    if (!compileDirectory(projectDirectory, projectDirectory))
        return false;
    out.line(QStringLiteral("所有脚本文件编译完成..."));
    return true;
}

bool ProjectBuilder::compileDirectory(const QString &projectDirectory, const QString &directory)
{
    for (const DirListing::Entry &entry : DirListing::entries(directory)) {
        const QString path = entry.path();
        if (entry.isDir) {
            if (!compileDirectory(projectDirectory, path))
                return false;
        } else if (entry.size > 0 && Names::isScriptName(entry.name)) {
            out.line(QStringLiteral("正在编译[") + path.mid(projectDirectory.size() + 1) + QLatin1Char(']'));
            if (!compileScript(path, directory))
                return false;
        }
    }
    return true;
}

bool ProjectBuilder::compileScript(const QString &path, const QString &outputDirectory)
{
    const Result<QString> written = ScriptCompiler::compileFile(path, outputDirectory);
    if (!written)
        out.error(written.error());
    return written.ok();
}

bool ProjectBuilder::build(const QString &projectName, const QString &projectDirectory)
{
    if (!check(projectName, projectDirectory))
        return false;

    QByteArray mainScript;
    QFile compiledMain(projectDirectory + QLatin1Char('/') + Names::compiledMainScript());
    if (compiledMain.open(QIODevice::ReadOnly))
        mainScript = compiledMain.readAll();
    compiledMain.close();

    out.line(QStringLiteral("正在打包资源并构建二进制脚本..."));
    const ProjectInfo info = ProjectFile::read(projectDirectory);
    if (info.name.isEmpty()) {
        // Without a name there is no file name for the package (it would be ".ks").
        out.error(QStringLiteral("工程文件[%1]中没有工程名称（<name>…</name>），无法确定二进制脚本的文件名。")
                      .arg(Workspace::projectFilePath(projectDirectory)));
        return false;
    }
    const QString &name = info.name;

    const Result<int> built = Package::build(projectDirectory + QLatin1Char('/'), name, Names::packageVersion(),
                                             info.description, mainScript, Names::packageType, out.line);
    if (!built) {
        out.error(QStringLiteral("二进制脚本构建失败：") + built.error());
        return false;
    }
    const int compressedLength = *built;
    // The package is named after ks.project, which may differ from the tree's name for it.
    out.line(QStringLiteral("二进制脚本构建成功...\r\n路径：") + projectDirectory + QLatin1Char('/') + name
             + Names::packageSuffix());
    out.line(QString::asprintf("%s%d%s,%0.2fKB...", "总大小：", compressedLength, "字节", compressedLength / 1024.0));
    return true;
}
