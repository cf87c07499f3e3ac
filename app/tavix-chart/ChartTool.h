#pragma once

#include <QStringList>

class QTextStream;

namespace tavix {

// The command-line chart tool: `convert`, `info`, `stats` and `check` over the editor's own
// chart code. Returns the exit status: 0 done, 1 a file failed (or `check` found
// something), 2 the command line is wrong.
int runChartTool(const QStringList& args, QTextStream& out, QTextStream& err);

// The usage text printed by --help and after a usage error.
QString chartToolUsage();

} // namespace tavix
