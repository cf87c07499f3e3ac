#pragma once

#include <QString>
#include <QStringList>

namespace tavix {

// The files named on the editor's command line: a song, a chart, or both.
struct LaunchFiles
{
    QString song;
    QString chart;

    // Every argument after the program's name that is neither an option ("-..."; after
    // "--" none is) nor carries the script-mode switch names a file: a name ending in
    // ".zts" or ".slk" (any case) a chart, any other a song. The first of each kind counts.
    static LaunchFiles fromArguments(const QStringList& arguments);
};

} // namespace tavix
