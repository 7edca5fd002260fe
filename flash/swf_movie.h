// Inspection of the Flash panel's movie before it is handed to the player:
// uncompressed ("FWS") or zlib-compressed ("CWS"), an inflated copy of a
// compressed movie, and the SWF version the movie needs.
//
// SWF header (little-endian):
//   0  3 bytes  "FWS" uncompressed, "CWS" compressed (case-sensitive)
//   3  1 byte   SWF version; 3..8 accepted
//   4  4 bytes  FileLength: length of the whole uncompressed file
//   8  rest     the body; for "CWS" one zlib (RFC 1950) stream of it
//
// The inflated copy lives in the panel's temporary folder (TEMP\FlashPanel<n>\,
// made on first use, reused after):
//   compressedSWFSegment.swf  the compressed movie's bytes after its header
//   unCompressedSWF.swf       "FWS", the movie's version and FileLength bytes,
//                             then the inflated body
// Files are copied and inflated in 2,048-byte blocks; nothing is held whole.
// The inflated copy is bounded: at most FileLength - 8 bytes of body, and
// never more than kSwfInflatedCap; what the stream holds beyond that is
// logged and ignored (the header alone decides what the movie is).
//
// The inspection trusts nothing: a movie shorter than its header, a zlib
// stream that is damaged or cut short, or a temporary file that cannot be read
// or written each gives a code of its own, and no file is left open. After a
// failed inflation "unCompressedSWF.swf" is left empty, so it never inspects
// as a movie.
#pragma once

#include <cstdint>
#include <string>

#include "core/result_codes.h"
#include "platform/os.h"

namespace ssi {

constexpr const char* kSwfTempPrefix = "FlashPanel";
constexpr const char* kSwfSegmentName = "compressedSWFSegment.swf";
constexpr const char* kSwfInflatedName = "unCompressedSWF.swf";
constexpr uint8_t kSwfMinVersion = 3;
constexpr uint8_t kSwfMaxVersion = 8;
constexpr uint32_t kSwfHeaderSize = 8;
constexpr uint32_t kSwfBlockSize = 2048;

// The FileLength field of a movie's header (bytes 4..7, little-endian): the
// length of the whole uncompressed movie, header included.
uint32_t swfDeclaredLength(const uint8_t (&header)[kSwfHeaderSize]);

// The verdicts on a movie's first bytes, shared by the panel and the tools.
// `got` is how many of the (up to 8) header bytes the file had.
// The signature: 0 for "FWS" or "CWS", -404 for anything else, kSwfTruncated
// under 3 bytes.
[[nodiscard]] Result swfSignatureVerdict(const uint8_t* header, uint32_t got);
// An uncompressed movie's header: 0 for "FWS" and a version of 3..8; -404,
// -405, -406 or kSwfTruncated (under 8 bytes) otherwise. `version` receives
// the version byte when there is one, else 0.
[[nodiscard]] Result swfUncompressedVerdict(const uint8_t* header, uint32_t got, uint8_t& version);

// Where the inflation reads the zlib stream from and writes the body to.
struct SwfInflateIo {
    virtual ~SwfInflateIo() = default;
    // Up to `size` bytes; got = 0 at the end. False on a read error.
    [[nodiscard]] virtual bool read(uint8_t* buffer, uint32_t size, uint32_t& got) = 0;
    // All `size` bytes, or false.
    [[nodiscard]] virtual bool write(const uint8_t* buffer, uint32_t size) = 0;
};
// The most of an inflated body the inspection ever writes or inflates: the
// check needs the header only, and a small compressed movie can claim to
// inflate to gigabytes.
constexpr uint64_t kSwfInflatedCap = 16ull << 20;
constexpr uint64_t kSwfNoLimit = ~uint64_t(0);

// Inflates one zlib stream in 2,048-byte blocks: 0 once the stream has ended,
// kSwfInflateFailed for a damaged or cut-short stream, kSwfTempFileFailed for
// a read or write that failed. `produced` counts the bytes inflated. Only the
// first `writeLimit` of them are written; once more than `inflateLimit` have
// come out, the rest of the stream is left unread and the result is 0.
[[nodiscard]] Result inflateSwfBody(SwfInflateIo& io, uint64_t& produced, uint64_t writeLimit = kSwfNoLimit,
                                    uint64_t inflateLimit = kSwfNoLimit);

// The panel's inspection state and operations; the Flash panel owns one.
class SwfInspector {
public:
    explicit SwfInspector(Os& os) : os_(os) {}
    SwfInspector(const SwfInspector&) = delete;
    SwfInspector& operator=(const SwfInspector&) = delete;

    // The movie being inspected.
    std::string swfFilename;
    // The 3-character signature of the movie last inspected ("" before).
    std::string signature;
    // The SWF version recorded by the last readSWFFile_FWS_Format (0 before).
    uint8_t swfVersion = 0;
    // The temporary folder, ending with a backslash; empty until first needed.
    std::string tempFolder;
    // Bytes the last successful inflation produced after the header (up to
    // just past kSwfInflatedCap), and the FileLength field of the movie it
    // came from (for diagnostics; the inspection does not judge them).
    uint64_t inflatedBodySize = 0;
    uint32_t declaredFileLength = 0;

    // 0 when the movie is missing (nothing read) or starts with "FWS"/"CWS";
    // -404 for any other signature; kSwfTruncated under 3 bytes.
    [[nodiscard]] Result readSWFFileFormatType();
    // Writes the temporary files for the compressed movie swfFilename: 0, the
    // error of the folder's creation, kSwfTruncated, kSwfInflateFailed,
    // kSwfTempFileFailed, or an OS error reading the movie. A missing movie
    // gives 0 and writes nothing.
    [[nodiscard]] Result inflateSWFFileToTempFile();
    // Checks an uncompressed movie and records its version: 0, -404, -405,
    // -406, kSwfTruncated, or an OS error opening it; 0 when it is missing.
    [[nodiscard]] Result readSWFFile_FWS_Format(const std::string& path);

    // The three in the panel's order for swfFilename.
    [[nodiscard]] Result inspectMovie();

    std::string segmentPath() const { return tempFolder + kSwfSegmentName; }
    std::string inflatedPath() const { return tempFolder + kSwfInflatedName; }

private:
    [[nodiscard]] Result copySegment(uint8_t (&header)[kSwfHeaderSize]);
    [[nodiscard]] Result inflateSegment(const uint8_t (&header)[kSwfHeaderSize]);
    void emptyInflatedCopy();
    Os& os_;
};

}  // namespace ssi
