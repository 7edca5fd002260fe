// A file that breaks the order on purpose: the include check must name it.
#include "platform/file_utils.h"
#include "app/installer_window.h"
