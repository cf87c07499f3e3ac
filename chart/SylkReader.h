#pragma once

#include "ChartEdit.h"
#include "ChartFile.h"
#include "KeP.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace tavix {

// Merges a SYLK script into a chart. Everything happens on a private copy of the grid and
// of the importer's carried-over state (ImportRow, ImportCol, ImportCell); the chart sees
// the result only through commitTo(), once the whole script has been read, as one
// recorded change of its editing interface. An error stops the import at its line and
// leaves the chart as it was.
class SylkReader
{
public:
    explicit SylkReader(const KeP& kep);

    // Feeds the next bytes of the script; lines may be split anywhere between calls.
    // Returns false once the import has stopped with an error.
    bool feed(QByteArrayView bytes);
    // Reads the last line when the script does not end with a line end.
    bool finish();

    // Interprets one record, given without its line end. Returns false when the record
    // stops the import; error() then says why.
    bool ParseSlkLine(QByteArrayView line);

    bool failed() const { return failed_; }
    const QString& error() const { return error_; }
    int64_t errorLine() const { return errorLine_; }
    int64_t linesRead() const { return line_; }

    // Hands the grid and parser state to the chart; refused (false) after an error.
    bool commitTo(ChartEdit& edit);

    // The script branch of LoadChart.
    static ChartResult importFile(ChartEdit& edit, const QString& path);
    // The same for a script already in memory.
    static ChartResult importText(ChartEdit& edit, QByteArrayView text);

private:
    bool handleValue(QByteArrayView field);
    bool applyKeys(QByteArrayView text);
    bool holdCell();
    bool fail(const QString& why);
    bool parseLine(QByteArrayView line);

    // The merged grid and the parser's state, the chart's own until commitTo().
    std::vector<uint8_t> grid_;
    int32_t cells_ = 0;
    int32_t importRow_ = 0;
    int32_t importCol_ = 0;
    int32_t importCell_ = 0;
    std::string partial_;  // a line not yet ended by the bytes fed so far
    bool afterCr_ = false; // the last byte fed was a CR: a following LF belongs to it
    int64_t line_ = 0;
    bool failed_ = false;
    QString error_;
    int64_t errorLine_ = 0;
};

} // namespace tavix
