#include "ScriptReadBack.h"

#include "ChartEdit.h"
#include "KeP.h"
#include "SylkReader.h"

namespace tavix {

bool ScriptReadBack::givesBack(const KeP& kep, const QString& path)
{
    KeP read;
    ChartEdit edit(read);
    return SylkReader::importFile(edit, path).ok() && read.KeyGrid == kep.KeyGrid;
}

} // namespace tavix
