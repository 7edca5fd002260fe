// A sibling include: package/ and flash/ sit side by side.
#include "flash/FlashPanel_swf.h"
#include "saver/KVR_FileUtils.h"
