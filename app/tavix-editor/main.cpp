// tavix-editor [MUSIC]: the editor window, opening MUSIC at start-up when it is given.
#include "ChartDump.h"
#include "FMod.h"
#include "GData.h"
#include "KE.h"
#include "KeP.h"
#include "QtClipboardService.h"
#include "QtFileChooser.h"
#include "QtMessageService.h"

#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

// The song to open: the first argument that is neither an option nor carries the
// script-mode switch (which looks like a path).
QString musicArgument(const QStringList& arguments)
{
    const QString scriptSwitch = tavix::scriptModeSwitch();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a.startsWith(QLatin1Char('-')) || a.contains(scriptSwitch))
            continue;
        return a;
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavix-editor"));
    QApplication::setApplicationVersion(QStringLiteral("1.68"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--help"))) {
        std::printf("usage: tavix-editor [MUSIC]\n"
                    "Opens the chart editor, with the song MUSIC loaded when it is given.\n");
        return 0;
    }
    tavix::KeP kep;
    tavix::FMod engine;
    tavix::QtFileChooser chooser;
    tavix::QtClipboardService clipboard;
    tavix::QtMessageService messages;

    tavix::EditorServices services{engine, chooser, clipboard, messages};
    services.commandLine = arguments.join(QLatin1Char(' '));
    services.programDir = QCoreApplication::applicationDirPath();
    const QString dumpPath = qEnvironmentVariable("TAVIX_EDITOR_DUMP");
    services.quit = [&kep, dumpPath] {
        if (!dumpPath.isEmpty() && !tavix::writeChartDump(kep, dumpPath))
            std::fprintf(stderr, "tavix-editor: cannot write %s\n", qPrintable(dumpPath));
        QCoreApplication::quit();
    };

    tavix::KE window(kep, std::move(services));
    window.show();
    const QString music = musicArgument(arguments);
    if (!music.isEmpty())
        window.openMusicFile(music, QFileInfo(music).fileName());
    return app.exec();
}
