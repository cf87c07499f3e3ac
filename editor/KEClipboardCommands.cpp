// Copy, delete and paste of the selected keys through the clipboard, and random keys.
//
// EMPTY COMMAND SLOTS: toolbar buttons 3, 4, 5 (copy then delete), 6 and 7 already
// dispatch here; the commands themselves are still to be written in this file.
#include "KE.h"

namespace tavix {

void KE::copyKeys() {}

void KE::deleteKeys() {}

void KE::pasteKeys() {}

void KE::randomKeys() {}

} // namespace tavix
