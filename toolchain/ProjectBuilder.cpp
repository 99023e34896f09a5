#include "toolchain/ProjectBuilder.h"

#include "common/Names.h"
#include "toolchain/BinaryLayout.h"
#include "toolchain/ChunkFacts.h"
#include "toolchain/BuildLock.h"
#include "toolchain/Package.h"
#include "toolchain/ScriptCompiler.h"
#include "project/DirListing.h"
#include "common/RegularFile.h"
#include "project/ProjectFile.h"
#include "project/Workspace.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

ProjectBuilder::ProjectBuilder(Output output)
    : out(std::move(output))
{
}

QString ProjectBuilder::noActiveProjectMessage()
{
    return QStringLiteral("当前未设定活动工程，无法编译。请在工程目录中右键点击一个工程，选择“设为活动工程”。");
}

bool ProjectBuilder::lockProject(const QString &projectDirectory, BuildLock::Held *held)
{
    Result<BuildLock::Held> taken = BuildLock::take(projectDirectory);
    if (!taken) {
        error(taken.error());
        return false;
    }
    *held = std::move(taken).value();
    if (!held->note.isEmpty())
        out.line(held->note);
    return true;
}

bool ProjectBuilder::check(const QString &projectName, const QString &projectDirectory)
{
    BuildLock::Held lock;
    if (!lockProject(projectDirectory, &lock))
        return false;
    return checkLocked(projectName, projectDirectory);
}

bool ProjectBuilder::checkLocked(const QString &projectName, const QString &projectDirectory)
{
    names.emplace(projectDirectory);
    out.line(QStringLiteral("当前活动工程：") + projectName);
    out.line(QStringLiteral("开始检查脚本语法并编译脚本..."));
    if (!compileDirectory(projectDirectory, projectDirectory)) {
        names.reset();
        return false;
    }
    out.line(QStringLiteral("所有脚本文件编译完成..."));
    return reportWarnings();
}

bool ProjectBuilder::reportWarnings()
{
    const int count = names->report([this](const Diagnostic &warning) { out.diagnostic(warning); });
    names.reset();
    if (count == 0)
        return true;
    out.diagnostic(Diagnostic::warning(GlobalNameCheck::summary(count)));
    if (warningsFail)
        error(QStringLiteral("有警告，严格检查未通过。"));
    return !warningsFail;
}

bool ProjectBuilder::compileDirectory(const QString &projectDirectory, const QString &directory)
{
    // A directory that cannot be read, or a name that leads to no file, would leave scripts
    // unchecked: both end the run.
    const Result<QVector<DirListing::Entry>> listing = DirListing::list(directory);
    if (!listing) {
        error(listing.error());
        return false;
    }
    for (const DirListing::Entry &entry : *listing) {
        if (cancelled) {
            error(QStringLiteral("编译已中止。"));
            return false;
        }
        const QString path = entry.path();
        if (entry.isDir) {
            if (!compileDirectory(projectDirectory, path))
                return false;
        } else if (Names::isScriptName(entry.name)) { // an empty script compiles to an empty chunk
            const QString relative = path.mid(projectDirectory.size() + 1);
            out.line(QStringLiteral("正在编译[") + QDir::toNativeSeparators(relative) + QLatin1Char(']'));
            Diagnostic failure;
            if (!compile(path, relative, directory, &failure)) {
                // The place is the script's path in the project.
                if (failure.hasPlace()) {
                    failure.directory = projectDirectory;
                    failure.path = relative;
                }
                out.diagnostic(failure);
                return false;
            }
        }
    }
    return true;
}

bool ProjectBuilder::compile(const QString &path, const QString &relative, const QString &outputDirectory,
                             Diagnostic *failure)
{
    // The check reads the code as it is compiled; of each script it keeps only what may still
    // be a warning.
    BytecodeReader code;
    const Result<QString> written = ScriptCompiler::compileFile(path, outputDirectory, names ? &code : nullptr, failure);
    if (written && names) {
        const Result<ScriptFacts> facts = ChunkFacts::of(code.functions());
        names->addScript(path, facts);
        if (facts && out.facts)
            out.facts(relative, *facts);
    }
    return written.ok();
}

bool ProjectBuilder::build(const QString &projectName, const QString &projectDirectory)
{
    BuildLock::Held lock;
    if (!lockProject(projectDirectory, &lock))
        return false;
    if (!checkLocked(projectName, projectDirectory))
        return false;

    // The compiled main script; none when the project has no main script.
    QByteArray mainScript;
    const QString compiledMain = projectDirectory + QLatin1Char('/') + Names::compiledMainScript();
    if (QFileInfo::exists(compiledMain)) {
        const Result<QByteArray> read = RegularFile::readWhole(compiledMain, MaxPayloadLength);
        if (!read) {
            error(QStringLiteral("无法读取[%1]：%2").arg(QDir::toNativeSeparators(compiledMain), read.error()));
            return false;
        }
        mainScript = *read;
    }

    out.line(QStringLiteral("正在打包资源并构建二进制脚本..."));
    const Result<ProjectInfo> read = ProjectFile::read(projectDirectory);
    if (!read) {
        error(read.error());
        return false;
    }
    const ProjectInfo &info = *read;
    if (info.name.isEmpty()) {
        // Without a name there is no file name for the package (it would be ".ks").
        error(QStringLiteral("工程文件[%1]中没有工程名称（<name>…</name>），无法确定二进制脚本的文件名。")
                      .arg(Workspace::projectFilePath(projectDirectory)));
        return false;
    }
    const QString &name = info.name;

    const Result<int> built = Package::build(projectDirectory + QLatin1Char('/'), name, Names::packageVersion(),
                                             info.description, mainScript, Names::packageType, out.line);
    if (!built) {
        error(QStringLiteral("二进制脚本构建失败：") + built.error());
        return false;
    }
    const int compressedLength = *built;
    // The package is named after ks.project, which may differ from the tree's name for it.
    out.line(QStringLiteral("二进制脚本构建成功...\r\n路径：")
             + QDir::toNativeSeparators(projectDirectory + QLatin1Char('/') + name + Names::packageSuffix()));
    out.line(QString::asprintf("%s%d%s,%0.2fKB...", "总大小：", compressedLength, "字节", compressedLength / 1024.0));
    return true;
}
