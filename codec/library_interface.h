// Header only (declarations shared by the library and its binding).
// The decompression library's interface, as "impborl.dll" exports it and as
// the installer's binding (package/codec_library.h) calls it: the file and
// export names, the callback and entry point types, the literal modes,
// dictionary sizes and result numbers. impborl.def repeats the export names
// (a module definition file cannot include a header).
//
// Every entry point and both callbacks use the caller-cleans convention (all
// arguments on the stack, pushed right to left). Portable, no OS headers.
#pragma once

#include <cstddef>

#if defined(_WIN32) && defined(__i386__)
#define SSI_CODEC_CALL __cdecl
#else
#define SSI_CODEC_CALL
#endif

namespace ssi::codec {

constexpr const char* kLibraryFileName = "impborl.dll";
constexpr const char* kImplodeExport = "_implode";
constexpr const char* kExplodeExport = "_explode";
constexpr const char* kCrc32Export = "_crc32";

// Reads up to *size bytes into buf; returns how many were read, 0 at the end.
typedef unsigned int(SSI_CODEC_CALL* ReadFn)(char* buf, unsigned int* size, void* param);
// Consumes *size bytes from buf.
typedef void(SSI_CODEC_CALL* WriteFn)(char* buf, unsigned int* size, void* param);

// The three entry points.
typedef unsigned int(SSI_CODEC_CALL* ImplodeFn)(ReadFn read, WriteFn write, char* work, void* param,
                                                unsigned int* type, unsigned int* dsize);
typedef unsigned int(SSI_CODEC_CALL* ExplodeFn)(ReadFn read, WriteFn write, char* work, void* param);
typedef unsigned long(SSI_CODEC_CALL* Crc32Fn)(char* buffer, unsigned int* size, unsigned long* old_crc);

// Literal modes (stream byte 0).
constexpr unsigned int kBinary = 0;
constexpr unsigned int kAscii = 1;

// Dictionary sizes accepted by implode.
constexpr unsigned int kDict1K = 1024;
constexpr unsigned int kDict2K = 2048;
constexpr unsigned int kDict4K = 4096;

constexpr bool isLiteralMode(unsigned int mode) {
    return mode == kBinary || mode == kAscii;
}
constexpr bool isDictionarySize(unsigned int size) {
    return size == kDict1K || size == kDict2K || size == kDict4K;
}

// Result numbers of implode and explode.
constexpr unsigned int kOk = 0;
constexpr unsigned int kInvalidDictSize = 1;  // implode: bad *dsize; explode: header byte 1 not 4..6
constexpr unsigned int kInvalidMode = 2;      // implode: bad *type; explode: header byte 0 not 0/1
constexpr unsigned int kBadData = 3;          // explode: stream truncated or missing its end code
constexpr unsigned int kAbort = 4;            // null argument, or a read callback returned more than asked

// The work area explode takes: the size the classic library asks for, so
// callers written for it hand exactly this many bytes. Any alignment.
constexpr std::size_t kExplodeWorkSize = 12596;

}  // namespace ssi::codec
