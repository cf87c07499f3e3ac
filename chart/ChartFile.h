#pragma once

#include <QString>

#include <cstdint>

namespace tavix {

class ChartEdit;
class KeP;

// Outcome of a chart file operation. Failures carry a reason a person can read.
struct ChartResult
{
    enum class Status {
        Ok,
        CannotOpen,  // the file cannot be opened or read
        NotChart,    // a native file whose magic is wrong
        BadHeader,   // a native file whose upper index is impossible
        ScriptError, // the script import stopped at `line`
        WriteFailed, // the file cannot be created or written
        NoGrid,      // nothing to save yet
    };

    Status status = Status::Ok;
    QString reason;   // for the person: "cannot be opened: No such file", ...
    int64_t line = 0; // 1-based line of a script error
    QString path;     // the file actually written or read (with its appended extension)
    // A native file shorter than its header claims, read all the same with the elements it
    // lacks left 0; `note` then says so for the person.
    bool cutShort = false;
    QString note;

    bool ok() const { return status == Status::Ok; }
    static ChartResult success(const QString& path) { return {Status::Ok, {}, 0, path, false, {}}; }
    static ChartResult failure(Status status, const QString& reason, const QString& path,
                               int64_t line = 0)
    {
        return {status, reason, line, path, false, {}};
    }
};

// Whether the last four characters of the name, lower-cased, are `ext` (".zts", ".slk").
bool hasExtension(const QString& fileName, QLatin1StringView ext);
// The name a save writes to: `ext` appended unless the name already ends in it.
QString withExtension(const QString& fileName, QLatin1StringView ext);

// Writes the chart: the SYLK script when filterIndex is 1 and ScriptMode is on, the
// native file otherwise. The extension is appended when missing. The target is replaced
// only once the new file is complete; a failure leaves the old file as it was. In a folder
// that refuses new files (so no temporary file can stand beside the target) an existing
// writable file is written in place instead, and a failure midway may harm it.
ChartResult SaveChart(const KeP& kep, const QString& fileName, int16_t filterIndex);

// Reads a chart through its editing interface: a name ending in ".zts" (any case)
// replaces the grid with the native file; any other name is merged in as a SYLK script.
// On failure nothing changes.
ChartResult LoadChart(ChartEdit& edit, const QString& fileName);

} // namespace tavix
