#pragma once

#include <QString>

namespace tavix {

struct ChartResult;

// What the open commands tell when a file does not open: first what is wrong in the
// user's words, then the detail the reading code or library gave, for those who need it.
class OpenFailureText
{
public:
    // `shown` names the song as the window shows it; `path` is where it was looked for.
    static QString song(const QString& shown, const QString& path, const QString& detail);
    static QString chart(const QString& path, const ChartResult& result);
    // An open that ran out of memory.
    static QString songTooLarge(const QString& shown);
    static QString chartTooLarge(const QString& path);
};

} // namespace tavix
