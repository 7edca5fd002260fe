// Header only (a #define the resource compiler reads too).
// The mark the build puts into install.exe (a data resource, app/image_mark.rc):
// the package tool recognises the program image by it, besides its size and
// its PE signature, and refuses to build on any other program. A plain
// #define, so that the resource compiler reads it as the C++ code does.
#pragma once

#define SSI_IMAGE_MARK "SSI-INSTALLER-PROGRAM-IMAGE-1"
