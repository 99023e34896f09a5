#include "editor/ApiHelp.h"

#include "api/ApiModel.h"
#include "editor/LineNames.h"

const ApiEntry *ApiHelp::entryAt(const ApiModel &model, const QString &line, int index)
{
    for (const QString &candidate :
         {LineNames::dottedAround(line, index), LineNames::nameAt(line, index), LineNames::aliasAt(line, index)}) {
        if (const ApiEntry *entry = candidate.isEmpty() ? nullptr : model.find(candidate))
            return entry;
    }
    return nullptr;
}

QString ApiHelp::hoverText(const ApiEntry &entry)
{
    QStringList forms;
    for (const CallForm &form : entry.forms)
        forms << QStringLiteral("<b>%1</b>").arg(form.text().toHtmlEscaped());
    if (forms.isEmpty())
        forms << QStringLiteral("<b>%1</b>").arg(entry.name.toHtmlEscaped());
    QString text = forms.join(QStringLiteral("<br>"));
    if (!entry.returns.isEmpty())
        text += QStringLiteral("<br>返回：%1").arg(entry.returns.toHtmlEscaped());
    if (!entry.description.isEmpty())
        text += QStringLiteral("<br>%1").arg(entry.description.toHtmlEscaped());
    if (!entry.aliases.isEmpty())
        text += QStringLiteral("<br>别名：%1").arg(entry.aliases.join(QStringLiteral("、")).toHtmlEscaped());
    return text + QStringLiteral("<br><i>%1</i>").arg(ApiEntry::onPcText(entry.onPc).toHtmlEscaped());
}
