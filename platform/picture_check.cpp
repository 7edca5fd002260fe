#include "platform/picture_check.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "core/little_endian.h"
#include "platform/jpeg_error_manager.h"

namespace ssi {

namespace {

// Only plain C objects live in this frame, so the long jump skips no destructor.
[[nodiscard]] bool readHeader(jpeg_decompress_struct* info, jpeg::ErrorManager* manager, const uint8_t* data,
                              size_t size, unsigned& width, unsigned& height, bool& cmyk) {
    if (setjmp(manager->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) {
        std::strcpy(manager->message, "not a JPEG image");
        return false;
    }
    width = info->image_width;
    height = info->image_height;
    cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    return true;
}

PictureCheck refused(const std::string& why) {
    PictureCheck c;
    c.fault = why;
    return c;
}

std::string sizeText(int64_t width, int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

PictureCheck checkJpeg(const uint8_t* data, size_t size) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return refused("not a JPEG picture (no JPEG start marker)");
    jpeg_decompress_struct info;
    jpeg::ErrorManager manager;
    std::memset(&info, 0, sizeof info);
    std::memset(&manager, 0, sizeof manager);
    info.err = jpeg::attach(manager);
    unsigned width = 0, height = 0;
    bool cmyk = false;
    const bool read = readHeader(&info, &manager, data, size, width, height, cmyk);
    jpeg_destroy_decompress(&info);
    if (!read)
        return refused(std::string("not a JPEG picture (") +
                       (manager.message[0] ? manager.message : "damaged") + ")");
    // The decoder asks libjpeg for colour rows, which it cannot make of
    // printing inks.
    if (cmyk) return refused("a CMYK JPEG picture, which the installer's decoder cannot show (save it as RGB)");
    if (!pictureSidesInRange(width, height))
        return refused("JPEG picture of " + sizeText(width, height) +
                       " is outside the sizes a preview may have (1 to 8192 a side)");
    PictureCheck c;
    c.ok = true;
    c.width = int(width);
    c.height = int(height);
    return c;
}

PictureCheck checkBitmap(const uint8_t* data, size_t size) {
    constexpr size_t kFileHeader = 14;
    if (!data || size < kFileHeader + 12 || data[0] != 'B' || data[1] != 'M')
        return refused("not a Windows bitmap (no \"BM\" file header)");
    const uint32_t pixelOffset = readLE32(data + 10);
    const uint32_t infoSize = readLE32(data + 14);
    int64_t width = 0, height = 0;
    uint32_t planes = 0, bits = 0, compression = 0;
    if (infoSize == 12) {  // the OS/2 core header
        width = int64_t(readLE16(data + 18));
        height = int64_t(readLE16(data + 20));
        planes = readLE16(data + 22);
        bits = readLE16(data + 24);
    } else if (infoSize >= 40 && infoSize <= 124 && size >= kFileHeader + 40) {
        width = int32_t(readLE32(data + 18));
        height = int32_t(readLE32(data + 22));
        planes = readLE16(data + 26);
        bits = readLE16(data + 28);
        compression = readLE32(data + 30);
    } else {
        return refused("not a Windows bitmap (info header of " + std::to_string(infoSize) + " bytes)");
    }
    if (height < 0) height = -height;  // top-down rows
    if (planes != 1) return refused("not a Windows bitmap (" + std::to_string(planes) + " planes)");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return refused("not a Windows bitmap (" + std::to_string(bits) + " bits a pixel)");
    // 0 plain rows, 1 and 2 run-length coded, 3 bit fields.
    if (compression > 3)
        return refused("a bitmap compression (" + std::to_string(compression) +
                       ") the installer cannot load");
    if (!pictureSidesInRange(width, height))
        return refused("bitmap of " + sizeText(width, height) +
                       " is outside the sizes a preview may have (1 to 8192 a side)");
    if (pixelOffset < kFileHeader + infoSize || pixelOffset >= size)
        return refused("not a Windows bitmap (its pixels would start at byte " + std::to_string(pixelOffset) +
                       " of " + std::to_string(size) + ")");
    if (compression == 0 || compression == 3) {
        const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
        if (stride * uint64_t(height) > size - pixelOffset)
            return refused("a damaged Windows bitmap (its rows need " +
                           std::to_string(stride * uint64_t(height)) + " bytes, the file holds " +
                           std::to_string(size - pixelOffset) + ")");
    }
    PictureCheck c;
    c.ok = true;
    c.width = int(width);
    c.height = int(height);
    return c;
}

std::string describeContent(const uint8_t* data, size_t size) {
    auto starts = [&](const char* magic, size_t n) { return size >= n && std::memcmp(data, magic, n) == 0; };
    if (starts("\x89PNG", 4)) return "a PNG picture";
    if (starts("GIF8", 4)) return "a GIF picture";
    if (starts("\xFF\xD8", 2)) return "a JPEG picture";
    if (starts("BM", 2)) return "a Windows bitmap";
    if (starts("FWS", 3) || starts("CWS", 3)) return "a movie";
    if (starts("MZ", 2)) return "a Windows program";
    if (starts("PK\x03\x04", 4)) return "a ZIP archive";
    if (size == 0) return "empty";
    size_t control = 0;
    const size_t n = size < 4096 ? size : 4096;
    for (size_t i = 0; i < n; ++i)
        if (data[i] == 0 || (data[i] < 32 && data[i] != '\t' && data[i] != '\n' && data[i] != '\r'))
            ++control;
    return control == 0 ? "text" : "";
}

}  // namespace ssi
