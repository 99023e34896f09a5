#include "device/DeviceAddress.h"

#include "device/PCClientControllor.h"

Result<DeviceAddress> DeviceAddress::parse(const QString &text)
{
    DeviceAddress address;
    QString portText;
    bool ok = true;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        const QString rest = close < 0 ? QString() : text.mid(close + 1);
        ok = close > 0 && (rest.isEmpty() || rest.startsWith(QLatin1Char(':')));
        address.host = text.mid(1, close - 1);
        portText = rest.mid(1);
    } else if (text.count(QLatin1Char(':')) == 1) {
        address.host = text.section(QLatin1Char(':'), 0, 0);
        portText = text.section(QLatin1Char(':'), 1);
    } else {
        address.host = text;
    }
    address.port = PCClientControllor::kStandardPort;
    if (!portText.isNull()) {
        address.port = portText.toInt(&ok);
        ok = ok && address.port > 0 && address.port <= 65535;
    }
    if (!ok || address.host.isEmpty())
        return fail(QStringLiteral("设备地址“%1”无效，应为“主机[:端口]”").arg(text));
    return address;
}
