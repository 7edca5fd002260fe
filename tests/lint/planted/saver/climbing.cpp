// Planted: climbs out of its folder to reach a higher one.
#include "../app/installer_window.h"
