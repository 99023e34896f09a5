#include "simulator/SimOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <climits>

namespace {

QList<QCommandLineOption> optionList()
{
    return {
        {QStringLiteral("listen"), QStringLiteral("Address to listen on (default 127.0.0.1; 0.0.0.0 for every interface)."),
         QStringLiteral("address")},
        {QStringLiteral("port"), QStringLiteral("Control port (default 7000; 0 picks a free port)."), QStringLiteral("port")},
        {QStringLiteral("image"), QStringLiteral("Stream this picture instead of the test pattern."), QStringLiteral("file")},
        {QStringLiteral("size"), QStringLiteral("Screen size of the test pattern (default 720x1280)."), QStringLiteral("WxH")},
        {QStringLiteral("depth"), QStringLiteral("Bits per pixel: 16, 24 or 32 (default 32)."), QStringLiteral("bits")},
        {QStringLiteral("channel-order"),
         QStringLiteral("channelOrder of the frames; 0 or 24 send red and blue exchanged (default 0)."),
         QStringLiteral("n")},
        {QStringLiteral("screencap-mode"), QStringLiteral("screencapMode of the frames (default 0)."), QStringLiteral("n")},
        {QStringLiteral("fps"), QStringLiteral("Frames per second, or \"max\" for as fast as possible (default 30)."),
         QStringLiteral("n")},
        {QStringLiteral("store"), QStringLiteral("Write imported packages into this directory."), QStringLiteral("dir")},
        {QStringLiteral("scene"),
         QStringLiteral("What the screen shows: \"pattern\" (default), a moving test pattern, or \"test\", a still "
                        "button that changes colour on each tap, a tap counter and the last key code."),
         QStringLiteral("name")},
        {QStringLiteral("react-ms"), QStringLiteral("Touches and keys take effect this many milliseconds after they "
                                                    "arrive (default 0)."),
         QStringLiteral("n")},
        {QStringLiteral("events"),
         QStringLiteral("Write every touch and key with its arrival time and every frame with its capture time "
                        "(steady clock, microseconds) into this file when stopped."),
         QStringLiteral("file")},
    };
}

bool toInt(const QString &text, int low, int high, int *value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < low || number > high)
        return false;
    *value = number;
    return true;
}

} // namespace

Result<SimOptions> SimOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOptions(optionList());
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(helpOption);
    const QCommandLineOption versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(versionOption);
    if (!parser.parse(QStringList{QStringLiteral("kestrun-device-sim")} + arguments))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));

    SimOptions result;
    result.help = parser.isSet(helpOption);
    result.version = parser.isSet(versionOption);
    auto bad = [](const QString &option, const QString &value) {
        return fail(QStringLiteral("bad value for --%1: %2").arg(option, value));
    };
    if (parser.isSet(QStringLiteral("listen")))
        result.listenAddress = parser.value(QStringLiteral("listen"));
    if (parser.isSet(QStringLiteral("port")) && !toInt(parser.value(QStringLiteral("port")), 0, 65535, &result.port))
        return bad(QStringLiteral("port"), parser.value(QStringLiteral("port")));
    result.imagePath = parser.value(QStringLiteral("image"));
    if (parser.isSet(QStringLiteral("size"))) {
        const QString size = parser.value(QStringLiteral("size"));
        const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$")).match(size);
        if (!match.hasMatch() || !toInt(match.captured(1), 1, 8192, &result.width)
            || !toInt(match.captured(2), 1, 8192, &result.height))
            return bad(QStringLiteral("size"), size);
    }
    if (parser.isSet(QStringLiteral("depth"))) {
        const QString depth = parser.value(QStringLiteral("depth"));
        if (depth != QLatin1String("16") && depth != QLatin1String("24") && depth != QLatin1String("32"))
            return bad(QStringLiteral("depth"), depth);
        result.depth = depth.toInt();
    }
    for (const auto &[name, field] : {std::pair<QString, int *>{QStringLiteral("channel-order"), &result.channelOrder},
                                      {QStringLiteral("screencap-mode"), &result.screencapMode}}) {
        if (parser.isSet(name) && !toInt(parser.value(name), INT_MIN, INT_MAX, field))
            return bad(name, parser.value(name));
    }
    if (parser.isSet(QStringLiteral("fps"))) {
        const QString fps = parser.value(QStringLiteral("fps"));
        bool ok = false;
        result.fps = fps == QLatin1String("max") ? 0 : fps.toDouble(&ok);
        if (fps != QLatin1String("max") && (!ok || result.fps < 0 || result.fps > 1000))
            return bad(QStringLiteral("fps"), fps);
    }
    result.storeDirectory = parser.value(QStringLiteral("store"));
    if (parser.isSet(QStringLiteral("scene"))) {
        const QString scene = parser.value(QStringLiteral("scene"));
        if (scene == QLatin1String("test") && result.imagePath.isEmpty())
            result.scene = Scene::Test;
        else if (scene != QLatin1String("pattern") || !result.imagePath.isEmpty())
            return bad(QStringLiteral("scene"), scene);
    }
    if (parser.isSet(QStringLiteral("react-ms"))
        && !toInt(parser.value(QStringLiteral("react-ms")), 0, 60000, &result.reactMs))
        return bad(QStringLiteral("react-ms"), parser.value(QStringLiteral("react-ms")));
    result.eventsPath = parser.value(QStringLiteral("events"));
    return result;
}

QString SimOptions::usage()
{
    QString text = QStringLiteral(
        "Usage: kestrun-device-sim [options]\n"
        "A simulated Kestrun device: accepts the IDE's control connection, streams its screen,\n"
        "takes imported packages and logs every touch and key.\n\nOptions:\n");
    for (const QCommandLineOption &option : optionList()) {
        const QString name = QStringLiteral("--%1 <%2>").arg(option.names().first(), option.valueName());
        text += QStringLiteral("  %1%2\n").arg(name.leftJustified(28), option.description());
    }
    text += QStringLiteral("  %1%2\n").arg(QStringLiteral("-h, --help").leftJustified(28), QStringLiteral("Show this help."));
    text += QStringLiteral("  %1%2\n").arg(QStringLiteral("-v, --version").leftJustified(28), QStringLiteral("Show the version."));
    return text;
}
