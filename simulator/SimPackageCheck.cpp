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
    const QByteArray inner = PackageReader::openEnvelope(package, &result.problem);
    if (inner.isEmpty())
        return result;
    result.opened = true;
    const PackageContents contents = PackageReader::readInner(inner, KeyUnwrapper(devicePrivateKey()));
    result.projectName = contents.name;
    result.entryCount = contents.entries.size();
    if (!contents.ok)
        result.problem = contents.error;
    return result;
}
