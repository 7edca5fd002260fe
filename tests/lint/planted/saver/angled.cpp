// Planted: a folder of ours named in angle brackets.
#include <app/fInstall.h>
