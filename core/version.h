// Header only (preprocessor definitions the resource compiler reads too).
// The product's version, in one place: install.exe's version resource
// (core/strings.rc) and `saverpack --version` both take it from here. Only
// preprocessor definitions, so that the resource compiler can read it too.
#pragma once

#define SSI_VERSION_MAJOR 1
#define SSI_VERSION_MINOR 0
#define SSI_VERSION_PATCH 0

#define SSI_VERSION_STR2(x) #x
#define SSI_VERSION_STR(x) SSI_VERSION_STR2(x)
// "1.0.0", and the four-part form a version resource shows, "1.0.0.0".
#define SSI_VERSION_TEXT \
    SSI_VERSION_STR(SSI_VERSION_MAJOR) "." SSI_VERSION_STR(SSI_VERSION_MINOR) "." SSI_VERSION_STR(SSI_VERSION_PATCH)
#define SSI_VERSION_TEXT4 SSI_VERSION_TEXT ".0"

// The implode codec of codec/ (built into saverpack and impborl.dll): its
// name and the version of its implementation.
#define SSI_CODEC_NAME "implode"
#define SSI_CODEC_VERSION_TEXT "1.0"
