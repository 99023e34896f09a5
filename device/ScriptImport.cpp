#include "device/ScriptImport.h"

#include "device/PCClientControllor.h"
#include "device/ScriptImportRecord.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

bool ScriptImport::send(PCClientControllor &controller, const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        *error = QStringLiteral("脚本文件[%1]不存在，未导入。").arg(path);
        return false;
    }
    const QByteArray name = info.fileName().toUtf8();
    if (!ScriptImportRecord::fits(name)) {
        *error = QStringLiteral("脚本文件名“%1”超过%2字节，远程设备无法接收，请缩短文件名后再导入。")
                     .arg(info.fileName())
                     .arg(ScriptImportRecord::kNameSize - 1);
        return false;
    }
    // The message carries the size as a 32-bit integer.
    if (info.size() > std::numeric_limits<qint32>::max()) {
        *error = QStringLiteral("脚本文件[%1]过大（%2字节），无法导入。").arg(path).arg(info.size());
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("脚本文件[%1]无法读取：%2").arg(path, file.errorString());
        return false;
    }
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("脚本文件[%1]读取失败：%2").arg(path, file.errorString());
        return false;
    }
    if (!controller.importScript(name.constData(), contents.size(), contents.constData())) {
        *error = QStringLiteral("脚本发送失败，请确认与远程设备的连接。");
        return false;
    }
    return true;
}
