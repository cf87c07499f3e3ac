#include "ScriptTemplates.h"

#include "KeP.h"
#include "ResourceInit.h"

#include <QFile>

namespace tavix {

namespace {

QByteArray readResource(const char* name)
{
    initTemplatesResources();
    QFile file(QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

QByteArray builtInHeaderTemplate()
{
    return readResource(":/DATA/DATA1");
}

QByteArray builtInTitleTemplate()
{
    return readResource(":/DATA/DATA2");
}

bool loadScriptTemplates(KeP& kep)
{
    QByteArray header = builtInHeaderTemplate();
    QByteArray title = builtInTitleTemplate();
    if (header.isEmpty() || title.isEmpty())
        return false;
    kep.HeaderTemplate = std::move(header);
    kep.TitleTemplate = std::move(title);
    return true;
}

} // namespace tavix
