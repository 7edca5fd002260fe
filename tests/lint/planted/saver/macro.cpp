// Planted: the include names a macro, whose value the check cannot follow.
#define INSTALLER_WINDOW "app/installer_window.h"
#include INSTALLER_WINDOW
