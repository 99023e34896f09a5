#include "editor/HelpPages.h"

#include "api/ApiModel.h"
#include "common/DataLocations.h"
#include "common/Platform.h"
#include "editor/ApiReference.h"

#include <QDir>
#include <QFileInfo>

namespace {

Status opened(bool done, const QString &what)
{
    if (done)
        return {};
    return fail(QStringLiteral("无法打开%1：没有找到可以打开它的浏览器（Linux上需要xdg-open，即Debian软件包xdg-utils）。").arg(what));
}

Status open(const QUrl &url)
{
    return opened(Platform::openUrl(url), url.toDisplayString(QUrl::PreferLocalFile));
}

} // namespace

QUrl HelpPages::forumHome()
{
    return QUrl(QString::fromLatin1(kForumAddress));
}

QUrl HelpPages::usbConnectionGuide()
{
    return QUrl(QString::fromLatin1(kForumAddress) + QStringLiteral("/forum.php?mod=viewthread&tid=172"));
}

QString HelpPages::localTutorial()
{
    return QDir::currentPath() + QStringLiteral("/教程/Kestrun教程.html");
}

Status HelpPages::openApiReference(const QString &line, int index)
{
    const DataLocations data = DataLocations::standard();
    const QString page = data.find(DataLocations::apiReference());
    if (page.isEmpty())
        return fail(QStringLiteral("找不到API参考%1：工作目录和安装的数据目录中都没有。").arg(DataLocations::apiReference()));
    QUrl url = QUrl::fromLocalFile(page);
    // The page was made from the built-in model; names the author added have no entry there.
    const QString anchor = ApiReference::anchorAt(ApiModel::builtIn(), line, index);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return open(url);
}

Status HelpPages::openTutorial()
{
    // The tutorial pages are data an author may keep beside the projects; the reference is shipped.
    if (!QFileInfo(QStringLiteral("教程")).isDir())
        return openApiReference();
    const QString tutorial = localTutorial();
    if (!QFileInfo::exists(tutorial))
        return fail(QStringLiteral("找不到教程页面%1。").arg(QDir::toNativeSeparators(tutorial)));
    return opened(Platform::openLocalDocument(tutorial), QDir::toNativeSeparators(tutorial));
}

Status HelpPages::openForumPage(const QUrl &page)
{
    if (page.host().endsWith(QLatin1String(".example")))
        return fail(QStringLiteral("官方论坛的地址尚未确定（%1只是占位地址），无法打开论坛页面。")
                        .arg(QString::fromLatin1(kForumAddress)));
    return open(page);
}
