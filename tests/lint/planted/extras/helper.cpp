// Planted: a new top folder that no layer declares; its includes have no rule to keep.
#include "app/installer_window.h"
