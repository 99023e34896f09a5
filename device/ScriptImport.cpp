#include "device/ScriptImport.h"

#include "device/PCClientControllor.h"
#include "device/ScriptImportRecord.h"

#include <QFile>
#include <QFileInfo>

#include <limits>

Status ScriptImport::send(PCClientControllor &controller, const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return fail(QStringLiteral("脚本文件[%1]不存在，未导入。").arg(path));
    const QByteArray name = info.fileName().toUtf8();
    if (!ScriptImportRecord::fits(name))
        return fail(QStringLiteral("脚本文件名“%1”超过%2字节，远程设备无法接收，请缩短文件名后再导入。")
                        .arg(info.fileName())
                        .arg(ScriptImportRecord::kNameSize - 1));
    // The message carries the size as a 32-bit integer.
    if (info.size() > std::numeric_limits<qint32>::max())
        return fail(QStringLiteral("脚本文件[%1]过大（%2字节），无法导入。").arg(path).arg(info.size()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("脚本文件[%1]无法读取：%2").arg(path, file.errorString()));
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("脚本文件[%1]读取失败：%2").arg(path, file.errorString()));
    if (!controller.importScript(name.constData(), contents.size(), contents.constData()))
        return fail(QStringLiteral("脚本发送失败，请确认与远程设备的连接。"));
    return Status();
}
