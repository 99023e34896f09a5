#include "simulator/SimPackageCheck.h"

#include "simulator/KeyUnwrapper.h"
#include "simulator/PackageReader.h"

#include <QFile>

// The development key pair's private half, built into the simulator: the device side's key.
// (Outside any namespace: the resource's initialiser is declared where it is used.)
static QByteArray devicePrivateKey()
{
    Q_INIT_RESOURCE(SimKeys);
    QFile file(QStringLiteral(":/simulator/keys/device-private.pem"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

SimPackageCheck SimPackageCheck::check(const QByteArray &package)
{
    SimPackageCheck result;
    const Result<QByteArray> inner = PackageReader::openEnvelope(package);
    if (!inner) {
        result.problem = inner.error();
        return result;
    }
    result.opened = true;
    PackageContents contents;
    const Status read = PackageReader::readInner(*inner, KeyUnwrapper(devicePrivateKey()), &contents);
    result.projectName = contents.name;
    result.entryCount = contents.entries.size();
    result.problem = read.error();
    return result;
}
