#include "UiResources.h"

#include <QtGlobal>

void initUiResources() { Q_INIT_RESOURCE(QuillmereIcons); }
