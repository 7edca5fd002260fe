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

// Input is read, and output written, in blocks of these sizes: the
// library itself asks for and hands over a few KiB at a time.
constexpr std::size_t kInputBlock = 256 * 1024;
constexpr std::size_t kOutputBlock = 256 * 1024;

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
    outputBuffer_.reset();
    inputBuffer_.reset();
    implodeEntry_ = nullptr;
    explodeEntry_ = nullptr;
    crc32Entry_ = nullptr;
    library_.reset();
    loaded = false;
}

Result TCompressor::ExpandToFile(const std::string& destPath, const void* block, int32_t size,
                                 int64_t outputLimit) {
    if (!loaded || !explodeEntry_) return rc::kLibraryNotLoaded;
    Result result = 0;
    if (size < 0 || (size > 0 && block == nullptr)) result = oserr::kInvalidParameter;
    memoryInput_ = static_cast<const uint8_t*>(block);
    fileInput_ = nullptr;
    inputLeft_ = result == 0 ? uint64_t(size) : 0;
    outputLimit_ = outputLimit;
    if (result == 0) result = expand(destPath);
    return result;
}

Result TCompressor::ExpandFromFile(const std::string& destPath, File& input, uint32_t size, int64_t outputLimit,
                                   Result& readError) {
    readError = 0;
    if (!loaded || !explodeEntry_) return rc::kLibraryNotLoaded;
    memoryInput_ = nullptr;
    fileInput_ = &input;
    inputLeft_ = size;
    outputLimit_ = outputLimit;
    Result result = 0;
    if (!inputBuffer_.allocate(kInputBlock)) result = oserr::kNotEnoughMemory;
    if (result == 0) result = expand(destPath);
    readError = inputError_;
    inputBuffer_.reset();
    fileInput_ = nullptr;
    return result;
}

Result TCompressor::expand(const std::string& destPath) {
    inputUsed_ = inputFilled_ = 0;
    inputError_ = 0;
    written_ = 0;
    outputUsed_ = 0;
    Result result = outputBuffer_.allocate(kOutputBlock) ? 0 : oserr::kNotEnoughMemory;

    // The output file, created or replaced.
    if (result == 0) result = os_.files().openFile(destPath, FileAccess::Create, output_);

    // The expansion pulls its input and pushes its output through the callbacks.
    if (result == 0) {
        TCompressor* self = this;
        explodeEntry_(&TCompressor::ReadCallback, &TCompressor::WriteCallback, gWorkArea, &self);
        flushOutput();
        Result closed = output_->close();
        if (closed != 0) result = closed;
    }

    if (result != 0) {
        reporter_.showBox(BoxKind::Error, BoxButtons::Abort,
                          os_.system().loadString(kStrZipError) + "\r\n\r\n" + os_.system().errorText(result));
    }

    // Both streams are released in every case.
    output_.reset();
    outputBuffer_.reset();
    memoryInput_ = nullptr;
    inputLeft_ = 0;
    return result;
}

std::size_t TCompressor::take(char* buffer, std::size_t wanted) {
    if (memoryInput_) {
        const std::size_t count = std::size_t(std::min<uint64_t>(inputLeft_, wanted));
        if (count) std::memcpy(buffer, memoryInput_, count);
        memoryInput_ += count;
        inputLeft_ -= count;
        return count;
    }
    std::size_t given = 0;
    while (given < wanted && fileInput_ && inputError_ == 0) {
        if (inputUsed_ == inputFilled_) {
            if (inputLeft_ == 0) break;
            const uint32_t want = uint32_t(std::min<uint64_t>(inputLeft_, inputBuffer_.size()));
            uint32_t got = 0;
            if (Result e = readUpTo(*fileInput_, inputBuffer_.data(), want, got)) {
                inputError_ = e;
                break;
            }
            if (got < want) inputError_ = rc::kShortRead;  // what came is still expanded
            if (got == 0) break;
            inputUsed_ = 0;
            inputFilled_ = got;
            inputLeft_ -= got;
        }
        const std::size_t count = std::min(wanted - given, inputFilled_ - inputUsed_);
        std::memcpy(buffer + given, inputBuffer_.data() + inputUsed_, count);
        inputUsed_ += count;
        given += count;
    }
    return given;
}

void TCompressor::put(const char* buffer, uint32_t count) {
    while (count > 0) {
        const std::size_t room = outputBuffer_.size() - outputUsed_;
        const std::size_t n = std::min<std::size_t>(room, count);
        std::memcpy(outputBuffer_.data() + outputUsed_, buffer, n);
        outputUsed_ += n;
        buffer += n;
        count -= uint32_t(n);
        written_ += int64_t(n);
        if (outputUsed_ == outputBuffer_.size()) flushOutput();
    }
}

void TCompressor::flushOutput() {
    // Errors are swallowed: the caller's size check finds a short file.
    if (output_ && outputUsed_ > 0)
        ignoreResult(writeExact(*output_, outputBuffer_.data(), uint32_t(outputUsed_)),
                     "a short file shows in the caller's size check");
    outputUsed_ = 0;
}

unsigned int SSI_CODEC_CALL TCompressor::ReadCallback(char* buffer, unsigned int* sizeRef, void* param) {
    if (!buffer || !sizeRef || !param) return 0;
    TCompressor* self = *static_cast<TCompressor**>(param);
    if (!self) return 0;
    // Past the output limit the stream is starved, so the expansion ends soon.
    if (self->outputLimit_ >= 0 && self->written_ >= self->outputLimit_) return 0;
    return static_cast<unsigned int>(self->take(buffer, *sizeRef));
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
    self->put(buffer, count);
}

}  // namespace ssi
