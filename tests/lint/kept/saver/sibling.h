// A header beside the file that includes it by its bare name.
#include "platform/seam.h"
