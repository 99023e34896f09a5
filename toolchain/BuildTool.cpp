// kestrun-build: the IDE's script check and project build from a shell, for authors who build
// many projects or build in a pipeline. Same lines as the IDE's output pane; errors and the
// warnings of the script check on stderr.
#include "common/BuildInfo.h"
#include "common/Names.h"
#include "common/Platform.h"
#include "toolchain/ProjectBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextCodec>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    Platform::printLine(stream, text);
}

// The manual page (kestrun-build.1) follows this text.
const char kUsage[] =
    "Usage: kestrun-build PROJECT_DIR [--check] [--strict]\n"
    "Compiles every script of a Kestrun project, newest first, and packs the project into\n"
    "PROJECT_DIR/<name>.ks, printing the lines the IDE prints; errors and the warnings of the\n"
    "script check go to standard error.\n"
    "\n"
    "Options:\n"
    "  --check     only compile the scripts (each into its .m beside it); no package\n"
    "  --strict    warnings of the script check fail the run\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Exit status: 0 done, 1 a script does not compile, the package cannot be built or\n"
    "--strict is given and the check warns, 2 wrong arguments.";

int usage()
{
    print(stderr, QString::fromUtf8(kUsage));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF8"));

    QString directory;
    bool checkOnly = false;
    bool strict = false;
    const QStringList arguments = app.arguments().mid(1);
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--help")) {
            print(stdout, QString::fromUtf8(kUsage));
            return 0;
        }
        if (argument == QLatin1String("--version")) {
            print(stdout, QStringLiteral("kestrun-build ") + QString::fromUtf8(BuildInfo::kVersion));
            return 0;
        }
        if (argument == QLatin1String("--check"))
            checkOnly = true;
        else if (argument == QLatin1String("--strict"))
            strict = true;
        else if (argument.startsWith(QLatin1Char('-')) || !directory.isEmpty())
            return usage();
        else
            directory = argument;
    }
    if (directory.isEmpty())
        return usage();

    const QFileInfo info(directory);
    const QString projectDirectory = info.absoluteFilePath();
    if (!info.isDir() || !QFileInfo::exists(projectDirectory + QLatin1Char('/') + Names::projectFile())) {
        print(stderr, QStringLiteral("错误：[%1]不是工程目录（缺少%2）。").arg(QDir::toNativeSeparators(directory), Names::projectFile()));
        return 1;
    }

    ProjectBuilder builder({[](const QString &line) { print(stdout, line); },
                            [](const Diagnostic &found) { print(stderr, found.text()); }});
    builder.setStrict(strict);
    const QString projectName = QDir(projectDirectory).dirName();
    const bool ok = checkOnly ? builder.check(projectName, projectDirectory) : builder.build(projectName, projectDirectory);
    return ok ? 0 : 1;
}
