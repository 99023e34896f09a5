#include "simulator/SimPackageCheck.h"

SimPackageCheck SimPackageCheck::check(const QByteArray &)
{
    // The package reader of the build library is not part of this build yet; until it is, the
    // device takes packages unread and says so.
    SimPackageCheck result;
    result.problem = QStringLiteral("not verified: this simulator has no package reader yet");
    return result;
}
