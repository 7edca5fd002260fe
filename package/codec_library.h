// The binding to the decompression library "impborl.dll".
//
// Compressed files of the package and of the screen saver data file are in the
// implode format. The installer does not expand them itself: it loads a library
// exporting "_implode", "_explode" and "_crc32" and drives "_explode" with two
// callbacks of its own. Usage, by every caller:
//
//     TCompressor compressor(os, dirs.scratchDir);
//     if (!compressor.loaded) return rc::kLibraryNotLoaded;
//     compressor.ExpandToFile(destPath, block, size);
//     compressor.Destroy();
//
// The library's names, entry point and callback types are declared once, in
// codec/library_interface.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/library_interface.h"
#include "core/buffer.h"
#include "core/result_codes.h"
#include "platform/os.h"
#include "platform/reporter.h"

namespace ssi {

class TCompressor {
public:
    // Loads libraryDir + "impborl.dll" (a folder ending with "\"), or the bare
    // name through the system's search when libraryDir is empty, and resolves
    // the three entry points. Never fails by raising: see `loaded`.
    // Its boxes (the "Zip Error: ..." box) go through `reporter`; without one,
    // straight to the seam's message boxes.
    TCompressor(Os& os, const std::string& libraryDir, Reporter& reporter);
    TCompressor(Os& os, const std::string& libraryDir);
    // Unloads the library.
    ~TCompressor();
    TCompressor(const TCompressor&) = delete;
    TCompressor& operator=(const TCompressor&) = delete;

    // Expands the `size` compressed bytes at `block` into a newly created file
    // (an existing one is replaced). Returns 0, or the OS error code of an I/O
    // error after showing the "Zip Error: ..." box. Errors inside the
    // expansion are not seen here: callers check the size of the file written.
    //
    // outputLimit (-1: none) caps the bytes written: a damaged or hostile
    // stream cannot fill the disk. Callers pass the expected size + 1, so an
    // overlong expansion still shows up in their size check.
    [[nodiscard]] Result ExpandToFile(const std::string& destPath, const void* block, int32_t size,
                        int64_t outputLimit = -1);

    // As ExpandToFile, with the `size` compressed bytes read from `input`'s
    // position in blocks as the expansion asks for them: nothing is held
    // whole. readError receives the first error of the input (the OS error,
    // or rc::kShortRead when the file ends before `size` bytes), which ends
    // the expansion; the result is the output's, as for ExpandToFile.
    [[nodiscard]] Result ExpandFromFile(const std::string& destPath, File& input, uint32_t size,
                                        int64_t outputLimit, Result& readError);

    // Unloads the library if it is loaded; calling it again does nothing.
    void Destroy();

    // Functions handed to "_explode". param is the address of a variable that
    // holds the TCompressor pointer.
    static unsigned int SSI_CODEC_CALL ReadCallback(char* buffer, unsigned int* sizeRef, void* param);
    static void SSI_CODEC_CALL WriteCallback(char* buffer, unsigned int* sizeRef, void* param);

    // True once the library is loaded and all three entry points resolved.
    bool loaded = false;

private:
    void load(const std::string& libraryDir);

    Os& os_;
    std::unique_ptr<BoxReporter> ownReporter_;  // when no reporter was given
    Reporter& reporter_;
    void* implodeEntry_ = nullptr;  // required, never called
    codec::ExplodeFn explodeEntry_ = nullptr;
    void* crc32Entry_ = nullptr;    // required, not needed for expansion
    // One expansion's streams: input from memory (the caller's block, not
    // copied) or from a file in blocks; output gathered into large writes.
    [[nodiscard]] Result expand(const std::string& destPath);
    [[nodiscard]] std::size_t take(char* buffer, std::size_t wanted);
    void put(const char* buffer, uint32_t count);
    void flushOutput();

    std::unique_ptr<File> output_;  // owned during one expansion
    ByteBuffer outputBuffer_;       // gathered output, written when full and at the end
    std::size_t outputUsed_ = 0;
    const uint8_t* memoryInput_ = nullptr;
    File* fileInput_ = nullptr;
    ByteBuffer inputBuffer_;        // one block of the file input
    std::size_t inputUsed_ = 0, inputFilled_ = 0;
    uint64_t inputLeft_ = 0;        // bytes of the input not yet taken
    Result inputError_ = 0;
    std::unique_ptr<Library> library_;
    int64_t written_ = 0;
    int64_t outputLimit_ = -1;
};

}  // namespace ssi
