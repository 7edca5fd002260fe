// Planted: includes disguised from a reader that takes one line at a time.
#/* a comment between # and include */include "app/installer_window.h"
#include \
    "app/installer_window.h"
%:include "app/installer_window.h"
#include "installer_window.h"
