// kestrun-api-reference: writes the offline API reference page at build time from the API model
// and the snippet catalogue built into it and the main window's form (for the menu titles).
#include "api/ApiModel.h"
#include "common/BuildInfo.h"
#include "editor/ApiReference.h"
#include "editor/SnippetCatalogue.h"
#include "common/AtomicFile.h"
#include "common/RegularFile.h"
#include "project/FileOperations.h"

#include <QFileInfo>

#include <cstdio>

namespace {

int failed(const QString &message)
{
    std::fprintf(stderr, "kestrun-api-reference: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("usage: kestrun-api-reference FORM OUTPUT\n", stderr);
        return 2;
    }
    const Result<QByteArray> form = RegularFile::readWhole(QString::fromLocal8Bit(argv[1]), 16 << 20);
    if (!form)
        return failed(form.error());
    if (!ApiModel::builtIn().problems().isEmpty())
        return failed(ApiModel::builtIn().problems().join(QLatin1Char('\n')));

    const ApiReference reference(SnippetCatalogue::entries(), ApiModel::builtIn(), ApiReference::menusFromForm(*form));
    const QString output = QString::fromLocal8Bit(argv[2]);
    const Result<FileOperations::Creation> directory = FileOperations::createDirectory(QFileInfo(output).absolutePath());
    if (!directory)
        return failed(directory.error());
    const Status written =
        AtomicFile::writeWhole(output, reference.html(QString::fromUtf8(BuildInfo::kVersion)).toUtf8());
    if (!written)
        return failed(written.error());
    return 0;
}
