// Planted: absolute paths, one from the root and one from a drive, that would
// pass as library headers if judged by what they reach.
#include "/abs/path/app/x.h"
#include "C:/work/app/x.h"
