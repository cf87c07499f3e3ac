#include "TempoTool.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

int main(int argc, char** argv)
{
    const QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return tavix::runTempoTool(QCoreApplication::arguments().mid(1), out, err);
}
