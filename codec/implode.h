// Four sources, one for each routine of the format: implode.cpp (the encoder),
// explode.cpp (the decoder), crc32.cpp and implode_buffer.cpp (memory-to-memory
// wrappers for the tool and the tests).
// The implode format: a streaming LZ77 coder with fixed prefix codes, as used
// by the packages the installer reads, and by the impborl.dll it ships.
//
// Stream layout (all codes read least-significant bit first):
//   byte 0   literal mode: 0 = literals stored as 8 raw bits, 1 = literals
//            coded with a fixed prefix code tuned for text
//   byte 1   dictionary bits: 4, 5 or 6 (1024, 2048 or 4096 byte window)
//   then a bit stream of tokens, each led by one flag bit:
//     0  literal (8 raw bits, or the literal code)
//     1  match: length code + extra bits (lengths 2..518; 519 ends the
//        stream), then the high 6 bits of distance-1 as a distance code,
//        then its low bits (2 for length 2, else the dictionary bits).
//
// The interface is the classic streaming one: the caller hands a work area
// and two callbacks; neither function allocates memory. Portable, no OS
// headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/library_interface.h"

namespace ssi::codec {

// The callback types, modes, dictionary sizes, result numbers and the
// explode work area are the library's interface (codec/library_interface.h).

// Work area implode() needs (any alignment): 712,848 bytes, more than the
// classic library's 36,312. It holds the match finder's tables (latest
// position of every byte pair, of every 3- and 4-byte hash, and chains: 544 KiB
// in all), 4 KiB of history plus a 16 KiB input block, and the optimal
// parser's cost and back-link arrays (8 bytes per byte of a block, and 16
// entries of slack). Layout in implode.cpp.
constexpr std::size_t kImplodeWorkSize = 712848;

// Compresses everything read() returns into write() calls.
// *type: kBinary or kAscii; *dsize: 1024, 2048 or 4096.
// Returns kOk, kInvalidDictSize, kInvalidMode or kAbort.
[[nodiscard]] unsigned int implode(ReadFn read, WriteFn write, char* work, void* param, unsigned int* type,
                                   unsigned int* dsize);

namespace detail {
// implode() with its absolute positions brought down once they pass
// `rebaseAt` (at least 65,536) instead of 2^31, so that tests can reach
// that step with inputs of a few hundred kilobytes. The output must be the
// same as implode()'s.
[[nodiscard]] unsigned int implodeRebasingAt(std::uint32_t rebaseAt, ReadFn read, WriteFn write, char* work,
                                             void* param, unsigned int* type, unsigned int* dsize);
}  // namespace detail

// Expands one stream. Everything decoded before an error has been written.
// Returns kOk, kInvalidMode, kInvalidDictSize, kBadData or kAbort.
[[nodiscard]] unsigned int explode(ReadFn read, WriteFn write, char* work, void* param);

// Updates a CRC-32 (reflected polynomial 0xEDB88320) with *size bytes. No
// inversion is done here: callers seed with ~0 and invert the final value to
// get the usual CRC-32.
unsigned long crc32(char* buffer, unsigned int* size, unsigned long* old_crc);

// Whole-buffer helpers for tools and tests (these do allocate).
std::vector<std::uint8_t> implodeBuffer(const std::uint8_t* data, std::size_t size, unsigned int type,
                                        unsigned int dsize);
// Returns the explode() code; out receives what was decoded, even on error.
[[nodiscard]] int explodeBuffer(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out);

}  // namespace ssi::codec
