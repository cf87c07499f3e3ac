#pragma once

#include <QStringList>

class QTextStream;

namespace tavix {

// The command-line tempo tool: decodes a song, detects its tempo and first beat and prints
// them with the offset text and a confidence. Returns the exit status: 0 done, 1 the song
// could not be read, 2 the command line is wrong.
int runTempoTool(const QStringList& args, QTextStream& out, QTextStream& err);

// The usage text printed by --help and after a usage error.
QString tempoToolUsage();

} // namespace tavix
