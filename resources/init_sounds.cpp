#include "ResourceInit.h"

#include <QtCore/qglobal.h>

static void initSoundsGroup() { Q_INIT_RESOURCE(sounds); }

namespace tavix {

void initSoundsResources() { initSoundsGroup(); }

} // namespace tavix
