// tavix-editor [MUSIC] [CHART]: the editor window, opening the song MUSIC and the chart
// CHART (.zts or .slk) at start-up when they are given.
#include "ChartDump.h"
#include "FMod.h"
#include "KE.h"
#include "KeP.h"
#include "LaunchFiles.h"
#include "QtClipboardService.h"
#include "QtFileChooser.h"
#include "QtMessageService.h"
#include "SongTempo.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavix-editor"));
    QApplication::setApplicationVersion(QStringLiteral("1.68"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--help"))) {
        std::printf("usage: tavix-editor [MUSIC] [CHART]\n"
                    "Opens the chart editor, with the song MUSIC and the chart CHART (a .zts\n"
                    "chart or a .slk script) loaded when they are given.\n");
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
    services.recoveryDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!services.recoveryDir.isEmpty())
        services.chartNotesDir = services.recoveryDir + QStringLiteral("/charts");
    bool intervalOk = false;
    const int autosaveMs = qEnvironmentVariableIntValue("TAVIX_AUTOSAVE_MS", &intervalOk);
    if (intervalOk && autosaveMs > 0)
        services.autosaveIntervalMs = autosaveMs;
    services.detectTempo = tavix::detectSongTempo;
    const QString dumpPath = qEnvironmentVariable("TAVIX_EDITOR_DUMP");
    services.quit = [&kep, dumpPath] {
        if (!dumpPath.isEmpty() && !tavix::writeChartDump(kep, dumpPath))
            std::fprintf(stderr, "tavix-editor: cannot write %s\n", qPrintable(dumpPath));
        // Every event loop ends, also that of a question open at start-up, before the
        // main one runs (quit() would wait for that).
        QCoreApplication::exit(0);
    };

    tavix::KE window(kep, std::move(services));
    // SIGTERM, SIGHUP and SIGINT keep the chart for recovery before the program ends.
    tavix::TerminationSignals termination;
    QObject::connect(&termination, &tavix::TerminationSignals::received, &window,
                     [&window](int) { window.endOnSignal(); });
    window.show();
    // A chart an ended editor left behind comes first; restored, it brings its own song.
    const bool restored = window.offerRecovery();
    // The song first, so that a chart opened with it keeps the song's length.
    const tavix::LaunchFiles files = tavix::LaunchFiles::fromArguments(arguments);
    if (!restored && !files.song.isEmpty())
        window.openMusicFile(files.song, QFileInfo(files.song).fileName());
    if (!restored && !files.chart.isEmpty())
        window.openChartFile(files.chart, QFileInfo(files.chart).fileName(), !files.song.isEmpty());
    // A signal during the start-up's questions has ended the window already.
    if (window.state().IsClosing)
        return 0;
    return app.exec();
}
