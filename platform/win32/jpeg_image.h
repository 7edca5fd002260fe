// Pictures for image controls: JPEG files decoded with libjpeg, Windows
// bitmaps loaded by the system, both turned into a 24-bit DIB section.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/picture_check.h"
#include "platform/win32/handles.h"

namespace ssi::win32 {

// Decoded pixels: rows top-down, 3 bytes per pixel in blue-green-red order,
// each row padded to a multiple of 4 bytes (the DIB layout).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;
    size_t stride() const { return (size_t(width) * 3 + 3) & ~size_t(3); }
};

// The size caps (kMaxPictureSide, kMaxDecodedPixels) are platform/picture_check.h's,
// shared with the package tool's check of a preview.

// The scale (1, 2, 4 or 8: the picture's sides divided by it, rounded up) at
// which a width x height picture still covers cover.cx x cover.cy; 1 when
// nothing is to be covered (cover of 0 x 0).
int jpegScaleToCover(unsigned width, unsigned height, SIZE cover);

// Decodes a JPEG stream; false with a reason in `error` when it is not one,
// is damaged (libjpeg's own message) or is larger than the caps above. With
// a cover size, the picture is decoded at the smallest size that still
// covers it (libjpeg's scaled decoding), as for a picture stretched to a
// control of that size.
[[nodiscard]] bool decodeJpeg(const uint8_t* data, size_t size, Picture& out, std::string& error,
                              SIZE cover = SIZE{0, 0});

// A 24-bit top-down DIB section holding the picture.
GdiObject pictureToBitmap(const Picture& picture);

// Loads ".jpg"/".jpeg" (any case) through decodeJpeg, anything else as a
// Windows bitmap file: 0, the system's error for a file that cannot be read,
// 13 (invalid data) for one that is no picture, 8 when no bitmap can be made.
// A JPEG is decoded for `cover` (see decodeJpeg); a bitmap is loaded as it is.
[[nodiscard]] Result loadPictureFile(const std::string& path, GdiObject& bitmap, SIZE& size, SIZE cover = SIZE{0, 0});

}  // namespace ssi::win32
