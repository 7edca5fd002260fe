// What the installer's picture loader will make of a preview file, without
// Windows: a JPEG's header and size read by libjpeg (the decoder the
// installer uses), a Windows bitmap's file and info headers checked as the
// system's loader needs them. The package tool uses it to refuse a preview
// the installer would fail to show; the installer's own decoder shares its
// size caps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ssi {

// Largest side accepted, so that a damaged or hostile header cannot ask for
// gigabytes, and the most pixels a decoded picture may hold (48 MB of rows).
constexpr int kMaxPictureSide = 8192;
constexpr size_t kMaxDecodedPixels = size_t(16) << 20;

// Whether a picture of these sides is one the installer decodes. The pixel
// cap applies to the decoded rows: a preview is decoded at the scale that
// still covers its area, and within these sides it always fits.
constexpr bool pictureSidesInRange(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide;
}

// The area the installer stretches its preview picture to fill.
constexpr int kPreviewWidth = 350;
constexpr int kPreviewHeight = 150;

struct PictureCheck {
    bool ok = false;
    int width = 0;
    int height = 0;
    std::string fault;  // why it is not a picture of the kind asked for
};

// A JPEG stream's header as libjpeg reads it, and its size within the caps.
PictureCheck checkJpeg(const uint8_t* data, size_t size);

// A Windows bitmap file: "BM", its headers (core, info or later versions),
// a bit depth and compression the system loads, a positive size within the
// caps, a pixel offset inside the file and the rows' bytes all present.
PictureCheck checkBitmap(const uint8_t* data, size_t size);

// What the first bytes look like, for messages ("a PNG picture", "text",
// "a GIF picture", "a JPEG picture", "a Windows bitmap", "a movie", "").
std::string describeContent(const uint8_t* data, size_t size);

}  // namespace ssi
