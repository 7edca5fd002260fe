// A file that breaks the order on purpose: the include check must name it.
#include "saver/KVR_FileUtils.h"
#include "app/fInstall.h"
