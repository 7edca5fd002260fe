// Planted: names a lower folder, then climbs out of it into a higher one.
#include "core/../app/x.h"
