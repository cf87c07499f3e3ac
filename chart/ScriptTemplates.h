#pragma once

#include <QByteArray>

namespace tavix {

class KeP;

// The two fixed parts of the SYLK script, exactly as written (code page 949, CR LF),
// built into the program as the resources :/DATA/DATA1 and :/DATA/DATA2.
QByteArray builtInHeaderTemplate();
QByteArray builtInTitleTemplate();

// Loads both templates into the chart values at start-up; false when either resource is
// missing (the templates are then left as they were).
bool loadScriptTemplates(KeP& kep);

} // namespace tavix
