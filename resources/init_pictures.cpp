#include "ResourceInit.h"

#include <QtCore/qglobal.h>

static void initPicturesGroup() { Q_INIT_RESOURCE(pictures); }

namespace tavix {

void initPicturesResources() { initPicturesGroup(); }

} // namespace tavix
