// kestrun-build: the IDE's script check and project build from a shell, for authors who build
// many projects or build in a pipeline. Same lines as the IDE's output pane; errors on stderr.
#include "common/Names.h"
#include "toolchain/ProjectBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextCodec>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

void print(FILE *stream, const QString &text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    std::fputs(plain.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

int usage()
{
    print(stderr, QStringLiteral("usage: kestrun-build PROJECT_DIR [--check]\n"
                                 "  compiles every script of the project and packs it into <name>.ks;\n"
                                 "  with --check only compiles the scripts (each into its .m)."));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // Content keys are drawn from rand().
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    QCoreApplication app(argc, argv);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF8"));

    QString directory;
    bool checkOnly = false;
    const QStringList arguments = app.arguments().mid(1);
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--check"))
            checkOnly = true;
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
                            [](const QString &text) { print(stderr, QStringLiteral("错误：") + text); }});
    const QString projectName = QDir(projectDirectory).dirName();
    const bool ok = checkOnly ? builder.check(projectName, projectDirectory) : builder.build(projectName, projectDirectory);
    return ok ? 0 : 1;
}
