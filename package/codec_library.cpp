#include "package/codec_library.h"

#include <algorithm>
#include <cstring>

#include "core/strings.h"
#include "platform/file_utils.h"
#include "core/trace.h"

namespace ssi {

namespace {

constexpr Result kMissingLibraryFile = 5;  // logged only
constexpr Result kMissingEntryPoint = 6;   // logged only

// The process-wide work area of the library; one expansion runs at a time.
alignas(16) char gWorkArea[codec::kExplodeWorkSize];

}  // namespace

TCompressor::TCompressor(Os& os, const std::string& libraryDir, Reporter& reporter) : os_(os), reporter_(reporter) {
    load(libraryDir);
}

TCompressor::TCompressor(Os& os, const std::string& libraryDir)
    : os_(os), ownReporter_(std::make_unique<BoxReporter>(os)), reporter_(*ownReporter_) {
    load(libraryDir);
}

void TCompressor::load(const std::string& libraryDir) {
    logEnterWith("TCompressor.Create", libraryDir);
    loaded = false;
    Result error = 0;

    std::string path = codec::kLibraryFileName;
    if (!libraryDir.empty()) {
        path = libraryDir + codec::kLibraryFileName;
        if (!fileExists(os_, path)) error = kMissingLibraryFile;
    }
    logMessage("libraryPath: " + path);

    if (error == 0) {
        error = os_.system().loadLibrary(path, library_);
    }
    if (error == 0) {
        loaded = true;
        implodeEntry_ = library_->symbol(codec::kImplodeExport);
        explodeEntry_ = reinterpret_cast<codec::ExplodeFn>(library_->symbol(codec::kExplodeExport));
        crc32Entry_ = library_->symbol(codec::kCrc32Export);
        if (!implodeEntry_ || !explodeEntry_ || !crc32Entry_) error = kMissingEntryPoint;
    }
    if (error != 0) {
        logMessage("TCompressor.Create failed: " + std::to_string(error));
        implodeEntry_ = nullptr;
        explodeEntry_ = nullptr;
        crc32Entry_ = nullptr;
        library_.reset();
        loaded = false;
    }
    logLeave("TCompressor.Create");
}

TCompressor::~TCompressor() {
    Destroy();
}

void TCompressor::Destroy() {
    output_.reset();
    input_.reset();
    implodeEntry_ = nullptr;
    explodeEntry_ = nullptr;
    crc32Entry_ = nullptr;
    library_.reset();
    loaded = false;
}

Result TCompressor::ExpandToFile(const std::string& destPath, const void* block, int32_t size,
                                 int64_t outputLimit) {
    Result result = 0;
    if (!loaded || !explodeEntry_) return rc::kLibraryNotLoaded;

    // 1. The input memory stream: a copy of the block, read from its start.
    if (size < 0 || (size > 0 && block == nullptr)) {
        result = oserr::kInvalidParameter;
    } else {
        if (!input_.allocate(size_t(size)))
            result = oserr::kNotEnoughMemory;
        else if (size > 0)
            std::memcpy(input_.data(), block, size_t(size));
    }
    inputPosition_ = 0;
    written_ = 0;
    outputLimit_ = outputLimit;

    // 2. The output file, created or replaced.
    if (result == 0) result = os_.files().openFile(destPath, FileAccess::Create, output_);

    // 3. The expansion pulls its input and pushes its output through the callbacks.
    if (result == 0) {
        TCompressor* self = this;
        explodeEntry_(&TCompressor::ReadCallback, &TCompressor::WriteCallback, gWorkArea, &self);
        Result closed = output_->close();
        if (closed != 0) result = closed;
    }

    if (result != 0) {
        (void)reporter_.showBox(BoxKind::Error, BoxButtons::Abort,
                                os_.system().loadString(kStrZipError) + "\r\n\r\n" + os_.system().errorText(result));
    }

    // 6. Both streams are released in every case.
    output_.reset();
    input_.reset();
    inputPosition_ = 0;
    return result;
}

unsigned int SSI_CODEC_CALL TCompressor::ReadCallback(char* buffer, unsigned int* sizeRef, void* param) {
    if (!buffer || !sizeRef || !param) return 0;
    TCompressor* self = *static_cast<TCompressor**>(param);
    if (!self) return 0;
    // Past the output limit the stream is starved, so the expansion ends soon.
    if (self->outputLimit_ >= 0 && self->written_ >= self->outputLimit_) return 0;
    const std::size_t left = self->input_.size() - self->inputPosition_;
    const std::size_t count = std::min<std::size_t>(left, *sizeRef);
    if (count) std::memcpy(buffer, self->input_.data() + self->inputPosition_, count);
    self->inputPosition_ += count;
    return static_cast<unsigned int>(count);
}

void SSI_CODEC_CALL TCompressor::WriteCallback(char* buffer, unsigned int* sizeRef, void* param) {
    if (!buffer || !sizeRef || !param) return;
    TCompressor* self = *static_cast<TCompressor**>(param);
    if (!self || !self->output_) return;
    uint32_t count = *sizeRef;
    if (self->outputLimit_ >= 0) {
        const int64_t room = std::max<int64_t>(0, self->outputLimit_ - self->written_);
        count = static_cast<uint32_t>(std::min<int64_t>(count, room));
    }
    // Errors are swallowed: the caller's size check finds a short file.
    while (count > 0) {
        uint32_t put = 0;
        if (self->output_->write(buffer, count, put) != 0 || put == 0) return;
        buffer += put;
        count -= put;
        self->written_ += put;
    }
}

}  // namespace ssi
