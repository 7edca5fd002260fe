// Planted: a folder of ours named in angle brackets.
#include <app/installer_window.h>
