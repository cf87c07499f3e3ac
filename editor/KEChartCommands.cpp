// Saving the chart and opening a chart file.
//
// EMPTY COMMAND SLOTS: toolbar buttons 2 (save) and 9 (open a chart) already dispatch
// here; the commands themselves are still to be written in this file.
#include "KE.h"

namespace tavix {

void KE::saveChartCommand() {}

void KE::openChartCommand() {}

} // namespace tavix
