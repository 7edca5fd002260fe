#include "platform/win32/jpeg_image.h"

#include <csetjmp>
#include <cstring>

#include "platform/jpeg_error_manager.h"
#include "platform/win32/win32_util.h"

namespace ssi::win32 {

namespace {

unsigned scaledSide(unsigned side, int scale) { return (side + unsigned(scale) - 1) / unsigned(scale); }

// Only plain C objects live in this frame, so the long jump skips no destructor.
[[nodiscard]] bool decodeInto(jpeg_decompress_struct* info, jpeg::ErrorManager* manager, const uint8_t* data,
                              size_t size, SIZE cover, Picture& out) {
    if (setjmp(manager->jump)) return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) {
        std::strcpy(manager->message, "not a JPEG image");
        return false;
    }
    if (!pictureSidesInRange(info->image_width, info->image_height)) {
        // wsprintfA (user32) rather than snprintf: the C library's standard
        // printf family would add tens of kilobytes to the program image.
        ::wsprintfA(manager->message, "picture size %ux%u out of range", unsigned(info->image_width),
                    unsigned(info->image_height));
        return false;
    }
    const int scale = jpegScaleToCover(info->image_width, info->image_height, cover);
    if (size_t(scaledSide(info->image_width, scale)) * scaledSide(info->image_height, scale) > kMaxDecodedPixels) {
        ::wsprintfA(manager->message, "picture size %ux%u too large to show unscaled", unsigned(info->image_width),
                    unsigned(info->image_height));
        return false;
    }
    info->out_color_space = JCS_EXT_BGR;
#ifdef IDCT_SCALING_SUPPORTED
    // The library scales while it decodes.
    info->scale_num = 1;
    info->scale_denom = unsigned(scale);
    const int step = 1;
#else
    // The library is built without its scaled decoding (it keeps the program
    // image small): every scale-th pixel of every scale-th row is kept, which
    // gives the same size, and only one full row is ever held besides.
    const int step = scale;
#endif
    jpeg_start_decompress(info);
    out.width = int(scaledSide(info->output_width, step));
    out.height = int(scaledSide(info->output_height, step));
    out.bgr.assign(out.stride() * size_t(out.height), 0);
    // The full row lives in the library's own pool, freed with it.
    JSAMPROW full = step == 1 ? nullptr
                              : (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                           info->output_width * 3, 1)[0];
    while (info->output_scanline < info->output_height) {
        const JDIMENSION y = info->output_scanline;
        JSAMPROW target = out.bgr.data() + out.stride() * (y / unsigned(step));
        JSAMPROW row = step == 1 ? target : full;
        jpeg_read_scanlines(info, &row, 1);
        if (step == 1 || y % unsigned(step) != 0) continue;
        for (int x = 0; x < out.width; ++x) std::memcpy(target + size_t(x) * 3, full + size_t(x) * size_t(step) * 3, 3);
    }
    jpeg_finish_decompress(info);
    return true;
}

}  // namespace

int jpegScaleToCover(unsigned width, unsigned height, SIZE cover) {
    if (cover.cx <= 0 && cover.cy <= 0) return 1;
    for (int scale : {8, 4, 2})
        if (scaledSide(width, scale) >= unsigned(cover.cx > 0 ? cover.cx : 0) &&
            scaledSide(height, scale) >= unsigned(cover.cy > 0 ? cover.cy : 0))
            return scale;
    return 1;
}

bool decodeJpeg(const uint8_t* data, size_t size, Picture& out, std::string& error, SIZE cover) {
    if (!data || size < 4) {
        error = "not a JPEG image";
        return false;
    }
    jpeg_decompress_struct info;
    jpeg::ErrorManager manager;
    std::memset(&info, 0, sizeof info);
    std::memset(&manager, 0, sizeof manager);
    info.err = jpeg::attach(manager);
    const bool decoded = decodeInto(&info, &manager, data, size, cover, out);
    jpeg_destroy_decompress(&info);
    if (!decoded) {
        error = manager.message[0] ? manager.message : "damaged JPEG image";
        out = Picture();
    }
    return decoded;
}

GdiObject pictureToBitmap(const Picture& picture) {
    BITMAPINFO bmi;
    std::memset(&bmi, 0, sizeof bmi);
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = picture.width;
    bmi.bmiHeader.biHeight = -picture.height;  // top-down rows
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject bitmap(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap && bits && !picture.bgr.empty()) std::memcpy(bits, picture.bgr.data(), picture.bgr.size());
    return bitmap;
}

namespace {
bool isJpegName(const std::string& path) {
    size_t dot = path.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = path.substr(dot);
    for (char& c : ext) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return ext == ".jpg" || ext == ".jpeg";
}

[[nodiscard]] Result readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return systemError();
    DWORD high = 0;
    ::SetLastError(0);
    const DWORD size = ::GetFileSize(file.get(), &high);
    if (size == INVALID_FILE_SIZE && ::GetLastError() != 0) return systemError();
    if (high != 0 || size > 64u * 1024 * 1024) return oserr::kInvalidData;  // no picture is that large
    out.resize(size);
    DWORD got = 0;
    if (size && !::ReadFile(file.get(), out.data(), size, &got, nullptr)) return systemError();
    if (got != size) return oserr::kHandleEof;
    return 0;
}
}  // namespace

Result loadPictureFile(const std::string& path, GdiObject& bitmap, SIZE& size, SIZE cover) {
    if (isJpegName(path)) {
        std::vector<uint8_t> bytes;
        if (Result e = readWholeFile(path, bytes)) return e;
        Picture picture;
        std::string error;
        if (!decodeJpeg(bytes.data(), bytes.size(), picture, error, cover)) return oserr::kInvalidData;
        GdiObject made = pictureToBitmap(picture);
        if (!made) return oserr::kNotEnoughMemory;
        bitmap = std::move(made);
        size.cx = picture.width;
        size.cy = picture.height;
        return 0;
    }
    // LoadImage does not tell a missing file from a damaged one: ask first.
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return systemError();
    GdiObject loaded(
        ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    BITMAP info;
    if (!loaded || !::GetObjectA(loaded.get(), sizeof info, &info)) return oserr::kInvalidData;
    bitmap = std::move(loaded);
    size.cx = info.bmWidth;
    size.cy = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    return 0;
}

}  // namespace ssi::win32
