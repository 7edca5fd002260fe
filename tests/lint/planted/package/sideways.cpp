// A sibling include: package/ and flash/ sit side by side.
#include "flash/swf_movie.h"
#include "platform/file_utils.h"
