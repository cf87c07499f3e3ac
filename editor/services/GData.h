#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace tavix {

// Decodes a text of hexadecimal digit pairs into bytes, two digits per byte, in order.
// Pieces that are not hexadecimal read as far as their first non-digit (0 when none).
std::vector<uint8_t> GData(const QString& DataA);

// The command-line switch that turns script mode on. It exists only as an encoded
// constant and is rebuilt at run time.
QString scriptModeSwitch();

// True when the switch occurs anywhere in the whole command line (case-sensitive).
bool commandLineHasScriptSwitch(const QString& commandLine);

} // namespace tavix
