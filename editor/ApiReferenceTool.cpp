// kestrun-api-reference: writes the offline API reference page at build time from the snippet
// catalogue built into it, the completion list and the main window's form (for the menu titles).
#include "common/BuildInfo.h"
#include "editor/ApiReference.h"
#include "editor/SnippetCatalogue.h"
#include "project/FileOperations.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

bool readAll(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "kestrun-api-reference: cannot read %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    *bytes = file.readAll();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fputs("usage: kestrun-api-reference COMPLETION_LIST FORM OUTPUT\n", stderr);
        return 2;
    }
    const QString completionList = QString::fromLocal8Bit(argv[1]);
    const QStringList entries = ApiReference::readCompletionList(completionList);
    QByteArray form;
    if (entries.isEmpty()) {
        std::fprintf(stderr, "kestrun-api-reference: no entries in %s\n", qPrintable(completionList));
        return 1;
    }
    if (!readAll(QString::fromLocal8Bit(argv[2]), &form))
        return 1;

    const ApiReference reference(SnippetCatalogue::entries(), entries, ApiReference::menusFromForm(form));
    const QString output = QString::fromLocal8Bit(argv[3]);
    QString error;
    if (FileOperations::createDirectory(QFileInfo(output).absolutePath(), &error) == FileOperations::Result::Failed
        || !FileOperations::writeWhole(output, reference.html(QString::fromUtf8(BuildInfo::kVersion)).toUtf8(), &error)) {
        std::fprintf(stderr, "kestrun-api-reference: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
