#include "editor/ApiReference.h"

#include "api/ApiModel.h"
#include "editor/ApiHelp.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <utility>

namespace {

// The first function a snippet calls: a (dotted) name in front of "(", not the name of a
// function the snippet defines.
QString firstCall(const QString &text)
{
    static const QRegularExpression call(
        QStringLiteral("(?<![\\w.])(?<!function )([A-Za-z_]\\w*(?:\\.[A-Za-z_]\\w*)?)\\s*\\("));
    return call.match(text).captured(1);
}

QString shownSnippet(const char *text)
{
    return QString::fromUtf8(text)
        .replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\t'), QLatin1String("    "));
}

const char kStyle[] = "body{font-family:sans-serif;max-width:60em;margin:1em auto;padding:0 1em;color:#222}"
                      "code,pre{font-family:monospace}"
                      "pre{background:#f3f5f7;padding:.4em .6em;white-space:pre-wrap;margin:.2em 0 .6em}"
                      ".entry{border-top:1px solid #ddd;padding:.2em 0}"
                      ".entry:target,.snippet:target{background:#fff6c8}"
                      ".menu,.aliases,.returns,.pc{color:#555;margin:.3em 0 0}"
                      "nav p{line-height:1.7}nav a{margin-right:.5em}";

} // namespace

QVector<ApiReference::Menu> ApiReference::menusFromForm(const QByteArray &formXml)
{
    QVector<Menu> menus;
    QVector<int> open; // for each open <widget>: its menu's index, or -1
    QXmlStreamReader xml(formXml);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("widget") && !open.isEmpty()) {
            open.removeLast();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("widget")) {
            if (xml.attributes().value(QLatin1String("class")) != QLatin1String("QMenu")) {
                open.append(-1);
                continue;
            }
            const auto parent = std::find_if(open.rbegin(), open.rend(), [](int i) { return i >= 0; });
            menus.append(Menu{xml.attributes().value(QLatin1String("name")).toString(),
                              parent == open.rend() ? QStringList() : menus[*parent].titles});
            open.append(menus.size() - 1);
        } else if (xml.isStartElement() && xml.name() == QLatin1String("property") && !open.isEmpty()
                   && open.last() >= 0 && xml.attributes().value(QLatin1String("name")) == QLatin1String("title")
                   && xml.readNextStartElement() && xml.name() == QLatin1String("string")) {
            menus[open.last()].titles.append(xml.readElementText());
        }
    }
    return menus;
}

ApiReference::ApiReference(const QVector<Snippet> &catalogue, const ApiModel &model, const QVector<Menu> &menus)
    : menus(menus)
{
    // Menu groups in the order the menu bar shows them; those left empty are dropped below.
    for (const Menu &menu : menus)
        group(QStringLiteral("group-") + menu.objectName, menu.titles.value(menu.titles.size() - 1));

    QHash<const ApiEntry *, std::pair<int, int>> placed; // entry -> (group, entry)
    auto entryFor = [this, &placed](Group &home, const ApiEntry *api) -> Entry & {
        const auto found = placed.constFind(api);
        if (found != placed.constEnd())
            return groups[found->first].entries[found->second];
        home.entries.append(Entry{api->name, api->name, api, {}});
        placed.insert(api, {int(&home - groups.data()), home.entries.size() - 1});
        return home.entries.last();
    };

    for (const Snippet &snippet : catalogue) {
        const QString menu = QString::fromLatin1(snippet.menuObjectName);
        Group &home = group(QStringLiteral("group-") + menu, menu);
        const ApiEntry *called = model.find(firstCall(QString::fromUtf8(snippet.text)));
        if (!called) // a code block: an entry of its own
            home.entries.append(Entry{QStringLiteral("snippet-") + QString::fromLatin1(snippet.objectName),
                                      QString::fromUtf8(snippet.label), nullptr, {&snippet}});
        else
            entryFor(home, called).snippets.append(&snippet);
    }

    for (const ApiEntry &api : model.entries()) {
        apiEntries.append(&api);
        if (placed.contains(&api))
            continue;
        if (api.isRuntime())
            entryFor(group(QStringLiteral("group-functions"), QStringLiteral("未收入菜单的函数与名称")), &api);
        else if (api.library == QLatin1String("_G"))
            entryFor(group(QStringLiteral("library-_G"), QStringLiteral("Lua基础函数")), &api);
        else
            entryFor(group(QStringLiteral("library-") + api.library, api.library + QStringLiteral(" 库")), &api);
    }

    groups.erase(std::remove_if(groups.begin(), groups.end(), [](const Group &g) { return g.entries.isEmpty(); }),
                 groups.end());
}

ApiReference::Group &ApiReference::group(const QString &anchor, const QString &title)
{
    for (Group &existing : groups) {
        if (existing.anchor == anchor)
            return existing;
    }
    groups.append(Group{anchor, title, {}});
    return groups.last();
}

QString ApiReference::menuPath(const Snippet &snippet) const
{
    const QString menu = QString::fromLatin1(snippet.menuObjectName);
    const auto found = std::find_if(menus.begin(), menus.end(), [&menu](const Menu &m) { return m.objectName == menu; });
    const QStringList titles = found == menus.end() ? QStringList{menu} : found->titles;
    return (titles + QStringList{QString::fromUtf8(snippet.label)}).join(QStringLiteral(" › "));
}

QString ApiReference::html(const QString &version) const
{
    QString page = QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                                  "<title>Kestrun API参考</title>\n<style>")
                 + QLatin1String(kStyle)
                 + QStringLiteral("</style>\n</head>\n<body>\n<h1>Kestrun API参考</h1>\n<p>Kestrun开发平台 v")
                 + version.toHtmlEscaped()
                 + QStringLiteral("。每个名称列出调用形式、返回值和说明；插入菜单中的条目列出菜单位置和插入的代码。"
                                  "中文别名不是Lua 5.2的合法名称，在脚本中写作_G[\"触摸点击\"](x,y)。</p>\n<nav>\n<h2>索引</h2>\n");
    for (const Group &g : groups) {
        page += QStringLiteral("<p><a href=\"#%1\"><b>%2</b></a>：").arg(g.anchor.toHtmlEscaped(), g.title.toHtmlEscaped());
        for (const Entry &e : g.entries)
            page += QStringLiteral("<a href=\"#%1\">%2</a> ").arg(e.anchor.toHtmlEscaped(), e.title.toHtmlEscaped());
        page += QStringLiteral("</p>\n");
    }
    page += QStringLiteral("<p><a href=\"#local-run\"><b>本地运行</b></a></p>\n</nav>\n") + localRunSection();

    for (const Group &g : groups) {
        page += QStringLiteral("<section id=\"%1\">\n<h2>%2</h2>\n").arg(g.anchor.toHtmlEscaped(), g.title.toHtmlEscaped());
        for (const Entry &e : g.entries) {
            // A code block is its one snippet; a name holds what the model knows and the snippets calling it.
            page += QStringLiteral("<div class=\"entry\" id=\"%1\">\n<h3>%2</h3>\n").arg(e.anchor.toHtmlEscaped(), e.title.toHtmlEscaped());
            if (const ApiEntry *api = e.api) {
                if (!api->aliases.isEmpty())
                    page += QStringLiteral("<p class=\"aliases\">别名：%1</p>\n").arg(api->aliases.join(QStringLiteral("、")).toHtmlEscaped());
                for (const CallForm &form : api->forms)
                    page += QStringLiteral("<p><code class=\"call\">%1</code></p>\n").arg(form.text().toHtmlEscaped());
                if (!api->returns.isEmpty())
                    page += QStringLiteral("<p class=\"returns\">返回：<code>%1</code></p>\n").arg(api->returns.toHtmlEscaped());
                page += QStringLiteral("<p class=\"description\">%1</p>\n").arg(api->description.toHtmlEscaped());
                page += QStringLiteral("<p class=\"pc\">%1</p>\n").arg(api->onPcLine().toHtmlEscaped());
            }
            for (const Snippet *s : e.snippets) {
                const QString id = e.api ? QStringLiteral(" id=\"snippet-%1\"").arg(QString::fromLatin1(s->objectName)) : QString();
                page += QStringLiteral("<div class=\"snippet\"%1>\n<p class=\"menu\">%2</p>\n<pre>%3</pre>\n</div>\n")
                            .arg(id, menuPath(*s).toHtmlEscaped(), shownSnippet(s->text).toHtmlEscaped());
            }
            page += QStringLiteral("</div>\n");
        }
        page += QStringLiteral("<p><a href=\"#\">↑ 索引</a></p>\n</section>\n");
    }
    return page + QStringLiteral("</body>\n</html>\n");
}

QString ApiReference::localRunSection() const
{
    const auto link = [](const ApiEntry *api) {
        return QStringLiteral("<a href=\"#%1\">%2</a>").arg(api->name.toHtmlEscaped(), api->name.toHtmlEscaped());
    };
    QStringList unavailable;
    QStringList accepted;
    QString approximate;
    for (const ApiEntry *api : apiEntries) {
        if (api->onPc == ApiEntry::OnPc::Unavailable)
            unavailable << link(api);
        else if (api->onPc == ApiEntry::OnPc::Accepted)
            accepted << link(api);
        else if (api->onPc == ApiEntry::OnPc::Approximate)
            approximate += QStringLiteral("<li>%1：%2</li>\n").arg(link(api), api->onPcNote.toHtmlEscaped());
    }
    return QStringLiteral("<section id=\"local-run\">\n<h2>本地运行</h2>\n"
                          "<p>“本地运行”（Ctrl+F5）和命令kestrun-run在电脑上运行工程的脚本：触摸和按键发给连接的设备，"
                          "取色和找图读取设备屏幕的画面。</p>\n"
                          "<p>不支持，调用时报错（如“错误：本地运行不支持startApp（main.script第3行）”）：%1</p>\n"
                          "<p>可以调用，但不做任何事：%2</p>\n<p>近似，与手机上的行为不完全相同：</p>\n<ul>\n%3</ul>\n"
                          "</section>\n")
        .arg(unavailable.join(QLatin1Char(' ')), accepted.join(QLatin1Char(' ')), approximate);
}

QString ApiReference::anchorAt(const ApiModel &model, const QString &line, int index)
{
    const ApiEntry *entry = ApiHelp::entryAt(model, line, index);
    return entry ? entry->name : QString();
}
