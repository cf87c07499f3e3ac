#pragma once

#include <QString>

namespace tavix {

class KeP;

// Writes the chart as text, one set element per line ("cell row value"), after a first
// line "cells N". The editor writes it on exit when TAVIX_EDITOR_DUMP names a file, so
// scripted runs can check what was recorded without saving through the dialogs.
bool writeChartDump(const KeP& kep, const QString& path);

} // namespace tavix
