#include "ResourceInit.h"

#include <QtCore/qglobal.h>

static void initTemplatesGroup() { Q_INIT_RESOURCE(templates); }

namespace tavix {

void initTemplatesResources() { initTemplatesGroup(); }

} // namespace tavix
