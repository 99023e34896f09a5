#include "app/Session.h"

#include "app/AppInfo.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace {

QList<int> readSizes(const QSettings &settings, const QString &key)
{
    QList<int> sizes;
    for (const QString &number : settings.value(key).toStringList()) {
        bool ok = false;
        const int size = number.toInt(&ok);
        if (!ok || size < 0)
            return {};
        sizes << size;
    }
    return sizes;
}

QStringList sizesText(const QList<int> &sizes)
{
    QStringList text;
    for (int size : sizes)
        text << QString::number(size);
    return text;
}

} // namespace

QString Session::organisation()
{
    return QStringLiteral("Kestrun");
}

QString Session::application()
{
    return QString::fromUtf8(AppInfo::kProductName);
}

Session Session::read(QSettings &settings)
{
    Session session;
    session.geometry = settings.value(QStringLiteral("window/geometry")).toByteArray();
    session.windowState = settings.value(QStringLiteral("window/state")).toByteArray();
    session.treeSplitter = readSizes(settings, QStringLiteral("window/treeSplitter"));
    session.editorSplitter = readSizes(settings, QStringLiteral("window/editorSplitter"));
    session.activeProject = settings.value(QStringLiteral("project/active")).toString();
    session.expandedTree = settings.value(QStringLiteral("project/expanded")).toStringList();
    const int count = settings.beginReadArray(QStringLiteral("scripts"));
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        Script script;
        script.path = settings.value(QStringLiteral("path")).toString();
        script.line = qMax(0, settings.value(QStringLiteral("line")).toInt());
        script.index = qMax(0, settings.value(QStringLiteral("index")).toInt());
        script.firstVisibleLine = qMax(0, settings.value(QStringLiteral("firstVisibleLine")).toInt());
        if (!script.path.isEmpty())
            session.scripts.append(script);
    }
    settings.endArray();
    bool ok = false;
    const int current = settings.value(QStringLiteral("scriptsCurrent")).toInt(&ok);
    session.currentScript = ok && current >= 0 && current < session.scripts.size() ? current : -1;
    session.deviceAddress = settings.value(QStringLiteral("device/address")).toString();
    session.imageDirectory = settings.value(QStringLiteral("imageEditor/directory")).toString();
    const int files = settings.beginReadArray(QStringLiteral("breakpoints"));
    for (int i = 0; i < files; ++i) {
        settings.setArrayIndex(i);
        const QString path = settings.value(QStringLiteral("path")).toString();
        QVector<int> lines;
        for (const QString &number : settings.value(QStringLiteral("lines")).toString().split(QLatin1Char(','))) {
            const int line = number.toInt();
            if (line > 0)
                lines.append(line);
        }
        if (!path.isEmpty() && !lines.isEmpty())
            session.breakpoints.insert(path, lines);
    }
    settings.endArray();
    session.watches = settings.value(QStringLiteral("debug/watches")).toStringList();
    return session;
}

void Session::write(QSettings &settings) const
{
    settings.setValue(QStringLiteral("window/geometry"), geometry);
    settings.setValue(QStringLiteral("window/state"), windowState);
    settings.setValue(QStringLiteral("window/treeSplitter"), sizesText(treeSplitter));
    settings.setValue(QStringLiteral("window/editorSplitter"), sizesText(editorSplitter));
    settings.setValue(QStringLiteral("project/active"), activeProject);
    settings.setValue(QStringLiteral("project/expanded"), expandedTree);
    settings.remove(QStringLiteral("scripts"));
    settings.beginWriteArray(QStringLiteral("scripts"), scripts.size());
    for (int i = 0; i < scripts.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("path"), scripts[i].path);
        settings.setValue(QStringLiteral("line"), scripts[i].line);
        settings.setValue(QStringLiteral("index"), scripts[i].index);
        settings.setValue(QStringLiteral("firstVisibleLine"), scripts[i].firstVisibleLine);
    }
    settings.endArray();
    settings.setValue(QStringLiteral("scriptsCurrent"), currentScript);
    settings.setValue(QStringLiteral("device/address"), deviceAddress);
    settings.setValue(QStringLiteral("imageEditor/directory"), imageDirectory);
    settings.remove(QStringLiteral("breakpoints"));
    settings.beginWriteArray(QStringLiteral("breakpoints"), breakpoints.size());
    int i = 0;
    for (auto file = breakpoints.cbegin(); file != breakpoints.cend(); ++file, ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("path"), file.key());
        QStringList lines;
        for (const int line : file.value())
            lines << QString::number(line);
        settings.setValue(QStringLiteral("lines"), lines.join(QLatin1Char(',')));
    }
    settings.endArray();
    settings.setValue(QStringLiteral("debug/watches"), watches);
}

void Session::dropMissingScripts()
{
    QVector<Script> kept;
    int current = -1;
    for (int i = 0; i < scripts.size(); ++i) {
        if (!QFileInfo(scripts[i].path).isFile())
            continue;
        if (i == currentScript)
            current = kept.size();
        kept.append(scripts[i]);
    }
    scripts = kept;
    currentScript = current;
    for (auto file = breakpoints.begin(); file != breakpoints.end();)
        file = QFileInfo(file.key()).isFile() ? std::next(file) : breakpoints.erase(file);
}

Session Session::load()
{
    QSettings settings(organisation(), application());
    Session session = read(settings);
    session.dropMissingScripts();
    return session;
}

void Session::save() const
{
    QSettings settings(organisation(), application());
    write(settings);
}
