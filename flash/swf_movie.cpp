#include "flash/swf_movie.h"

#include <zlib.h>

#include <cstring>
#include <memory>

#include "core/little_endian.h"
#include "core/trace.h"
#include "platform/file_utils.h"

namespace ssi {

namespace {

// A zlib inflate stream that ends itself.
struct Inflater {
    z_stream z{};
    bool ready = false;
    Inflater() { ready = inflateInit(&z) == Z_OK; }
    ~Inflater() {
        if (ready) inflateEnd(&z);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
};

// Reads the stream from one file and writes the body to another.
class FileInflateIo : public SwfInflateIo {
public:
    FileInflateIo(File& in, File& out) : in_(in), out_(out) {}
    [[nodiscard]] bool read(uint8_t* buffer, uint32_t size, uint32_t& got) override {
        return in_.read(buffer, size, got) == rc::kOk;
    }
    [[nodiscard]] bool write(const uint8_t* buffer, uint32_t size) override {
        return writeExact(out_, buffer, size) == rc::kOk;
    }

private:
    File& in_;
    File& out_;
};

}  // namespace

uint32_t swfDeclaredLength(const uint8_t (&header)[kSwfHeaderSize]) {
    return readLE32(header + 4);
}

Result swfSignatureVerdict(const uint8_t* header, uint32_t got) {
    if (got < 3) return rc::kSwfTruncated;
    if (std::memcmp(header, "FWS", 3) != 0 && std::memcmp(header, "CWS", 3) != 0) return rc::kSwfBadSignature;
    return rc::kOk;
}

Result swfUncompressedVerdict(const uint8_t* header, uint32_t got, uint8_t& version) {
    version = 0;
    if (got < 3) return rc::kSwfTruncated;
    if (std::memcmp(header, "FWS", 3) != 0) return rc::kSwfBadSignature;
    if (got > 3) version = header[3];
    if (got < kSwfHeaderSize) return rc::kSwfTruncated;
    if (version > kSwfMaxVersion) return rc::kSwfTooNew;
    if (version < kSwfMinVersion) return rc::kSwfTooOld;
    return rc::kOk;
}

Result inflateSwfBody(SwfInflateIo& io, uint64_t& produced, uint64_t writeLimit, uint64_t inflateLimit) {
    produced = 0;
    Inflater inflater;
    if (!inflater.ready) return rc::kSwfInflateFailed;
    uint8_t in[kSwfBlockSize];
    uint8_t block[kSwfBlockSize];
    z_stream& z = inflater.z;
    for (;;) {
        if (z.avail_in == 0) {
            uint32_t n = 0;
            if (!io.read(in, sizeof(in), n)) return rc::kSwfTempFileFailed;
            if (n == 0) return rc::kSwfInflateFailed;  // the stream was cut short
            z.next_in = in;
            z.avail_in = n;
        }
        z.next_out = block;
        z.avail_out = sizeof(block);
        const int status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) return rc::kSwfInflateFailed;
        const uint32_t have = uint32_t(sizeof(block) - z.avail_out);
        const uint64_t room = produced < writeLimit ? writeLimit - produced : 0;
        const uint32_t keep = have < room ? have : uint32_t(room);
        if (keep > 0 && !io.write(block, keep)) return rc::kSwfTempFileFailed;
        produced += have;
        if (status == Z_STREAM_END) return rc::kOk;
        if (produced > inflateLimit) return rc::kOk;
        if (status == Z_BUF_ERROR && z.avail_in != 0) return rc::kSwfInflateFailed;
    }
}

Result SwfInspector::readSWFFileFormatType() {
    logEnter("readSWFFileFormatType");
    Result result = rc::kOk;
    if (fileExists(os_, swfFilename)) {
        std::unique_ptr<File> file;
        result = os_.files().openFile(swfFilename, FileAccess::ReadDenyWrite, file);
        if (result == rc::kOk) {
            uint8_t bytes[3];
            uint32_t got = 0;
            result = readUpTo(*file, bytes, sizeof(bytes), got);
            ignoreResult(file->close(), "closing a file only read loses nothing");
            if (result == rc::kOk) {
                signature.assign(reinterpret_cast<const char*>(bytes), got);
                result = swfSignatureVerdict(bytes, got);
                if (result == rc::kOk) logMessage("readSWFFileFormatType: successful");
            }
        }
    }
    logLeaveWith("readSWFFileFormatType", result);
    return result;
}

void SwfInspector::emptyInflatedCopy() {
    std::unique_ptr<File> file;
    if (os_.files().openFile(inflatedPath(), FileAccess::Create, file) == rc::kOk)
        ignoreResult(file->close(), "an empty file loses nothing");
}

Result SwfInspector::copySegment(uint8_t (&header)[kSwfHeaderSize]) {
    logMessage("AssignFile");
    std::unique_ptr<File> movie;
    if (Result e = os_.files().openFile(swfFilename, FileAccess::Read, movie)) return e;
    uint32_t got = 0;
    if (Result e = readUpTo(*movie, header, kSwfHeaderSize, got)) return e;
    if (got < kSwfHeaderSize) return rc::kSwfTruncated;

    logMessage("creating filestream");
    std::unique_ptr<File> segment;
    if (os_.files().openFile(segmentPath(), FileAccess::Create, segment) != rc::kOk) return rc::kSwfTempFileFailed;
    logMessage("BlockWrite");
    uint8_t block[kSwfBlockSize];
    for (;;) {
        uint32_t n = 0;
        if (Result e = movie->read(block, sizeof(block), n)) return e;
        if (n == 0) break;
        if (writeExact(*segment, block, n) != rc::kOk) return rc::kSwfTempFileFailed;
    }
    logMessage("CloseFile");
    if (segment->close() != rc::kOk) return rc::kSwfTempFileFailed;
    ignoreResult(movie->close(), "the movie was only read");
    return rc::kOk;
}

Result SwfInspector::inflateSegment(const uint8_t (&header)[kSwfHeaderSize]) {
    std::unique_ptr<File> segment;
    if (os_.files().openFile(segmentPath(), FileAccess::Read, segment) != rc::kOk) return rc::kSwfTempFileFailed;
    std::unique_ptr<File> out;
    if (os_.files().openFile(inflatedPath(), FileAccess::Create, out) != rc::kOk) return rc::kSwfTempFileFailed;
    uint8_t head[kSwfHeaderSize] = {'F', 'W', 'S'};
    std::memcpy(head + 3, header + 3, kSwfHeaderSize - 3);
    if (writeExact(*out, head, kSwfHeaderSize) != rc::kOk) return rc::kSwfTempFileFailed;

    // The body the header announces, and never more than the cap: the
    // inspection reads the header only.
    const uint32_t declared = swfDeclaredLength(header);
    const uint64_t announced = declared > kSwfHeaderSize ? declared - kSwfHeaderSize : 0;
    const uint64_t writeLimit = announced < kSwfInflatedCap ? announced : kSwfInflatedCap;
    FileInflateIo io(*segment, *out);
    uint64_t produced = 0;
    if (Result e = inflateSwfBody(io, produced, writeLimit, kSwfInflatedCap)) return e;
    if (produced > writeLimit)
        logMessage("inflated body beyond " + std::to_string(writeLimit) + " bytes ignored");
    if (out->close() != rc::kOk) return rc::kSwfTempFileFailed;
    ignoreResult(segment->close(), "the segment was only read");
    inflatedBodySize = produced;
    return rc::kOk;
}

Result SwfInspector::inflateSWFFileToTempFile() {
    logEnter("inflateSWFFileToTempFile");
    Result result = rc::kOk;
    if (tempFolder.empty()) {
        std::string folder;
        result = makeUniqueTempDir(os_, kSwfTempPrefix, folder);
        if (result == rc::kOk) tempFolder = folder;
    }
    if (result == rc::kOk && fileExists(os_, swfFilename)) {
        inflatedBodySize = 0;
        uint8_t header[kSwfHeaderSize] = {};
        result = copySegment(header);
        if (result == rc::kOk) {
            declaredFileLength = swfDeclaredLength(header);
            result = inflateSegment(header);
        }
        // Whatever an earlier movie left there must not pass for this one.
        if (result != rc::kOk) emptyInflatedCopy();
    }
    logLeaveWith("inflateSWFFileToTempFile", result);
    return result;
}

Result SwfInspector::readSWFFile_FWS_Format(const std::string& path) {
    logEnterWith("readSWFFile_FWS_Format", path);
    swfVersion = 0;
    Result result = rc::kOk;
    if (fileExists(os_, path)) {
        std::unique_ptr<File> file;
        result = os_.files().openFile(path, FileAccess::ReadDenyWrite, file);
        if (result == rc::kOk) {
            uint8_t header[kSwfHeaderSize];
            uint32_t got = 0;
            result = readUpTo(*file, header, kSwfHeaderSize, got);
            ignoreResult(file->close(), "closing a file only read loses nothing");
            if (result == rc::kOk) result = swfUncompressedVerdict(header, got, swfVersion);
        }
    }
    logLeaveWith("readSWFFile_FWS_Format", result);
    return result;
}

Result SwfInspector::inspectMovie() {
    if (!fileExists(os_, swfFilename)) return rc::kOk;
    Result result = readSWFFileFormatType();
    if (result != rc::kOk) return result;
    if (signature == "FWS") return readSWFFile_FWS_Format(swfFilename);
    result = inflateSWFFileToTempFile();
    if (result == rc::kOk) result = readSWFFile_FWS_Format(inflatedPath());
    return result;
}

}  // namespace ssi
