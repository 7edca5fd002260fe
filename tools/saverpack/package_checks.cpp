#include "tools/saverpack/package_checks.h"

#include <cstring>

#include "core/image_mark.h"
#include "core/little_endian.h"
#include "core/roles.h"
#include "flash/player_detection.h"
#include "flash/swf_movie.h"
#include "package/package_layout.h"
#include "package/slot_extraction.h"
#include "platform/picture_check.h"
#include "tools/saverpack/codepage.h"
#include "tools/saverpack/package_builder.h"

namespace ssi::tool {

namespace {

using Findings = std::vector<Finding>;

// A stored name as the author wrote it (names are held in the code page).
std::string quotedName(const std::string& name) {
    return "\"" + toUtf8(name, kDefaultCodePage) + "\"";
}

// A name in code page 1252 with its capitals made small, as Windows compares
// file names: A-Z, À-Þ (but ×), Š, Œ, Ž and Ÿ.
std::string lower1252(std::string text) {
    for (char& ch : text) {
        const auto c = uint8_t(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
            ch = char(c + 0x20);
        else if (c == 0x8A || c == 0x8C || c == 0x8E)
            ch = char(c + 0x10);
        else if (c == 0x9F)
            ch = char(0xFF);
    }
    return text;
}

// Feeds the inflation from memory and only counts what comes out, as the
// installer's inspection does with its temporary copy.
class MemoryInflateIo : public SwfInflateIo {
public:
    MemoryInflateIo(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    [[nodiscard]] bool read(uint8_t* buffer, uint32_t size, uint32_t& got) override {
        const size_t left = size_ - at_;
        got = uint32_t(left < size ? left : size);
        if (got > 0) std::memcpy(buffer, data_ + at_, got);
        at_ += got;
        return true;
    }
    [[nodiscard]] bool write(const uint8_t*, uint32_t) override { return true; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// The movie panel's verdict on a movie: 0 when it plays it; `version` is
// the SWF version it needs.
[[nodiscard]] Result movieVerdict(const std::vector<uint8_t>& movie, uint8_t& version) {
    uint8_t header[kSwfHeaderSize] = {};
    const uint32_t got = uint32_t(movie.size() < kSwfHeaderSize ? movie.size() : kSwfHeaderSize);
    if (got > 0) std::memcpy(header, movie.data(), got);
    if (Result e = swfSignatureVerdict(header, got)) return e;
    if (header[0] == 'C') {
        if (got < kSwfHeaderSize) return rc::kSwfTruncated;
        MemoryInflateIo io(movie.data() + kSwfHeaderSize, movie.size() - kSwfHeaderSize);
        uint64_t produced = 0;
        if (Result e = inflateSwfBody(io, produced, 0, kSwfInflatedCap)) return e;
        header[0] = 'F';  // the inflated copy starts "FWS" with the movie's own version
    }
    return swfUncompressedVerdict(header, got, version);
}


std::string contentOf(const std::vector<uint8_t>& bytes) {
    const std::string what = describeContent(bytes.data(), bytes.size());
    return what.empty() ? std::string() : " (the file is " + what + ")";
}

void checkMode(const PackageView& p, Findings& out) {
    const uint8_t m = p.installerMode;
    if (mode::isPicture(m) || mode::isMovie(m) || m == mode::kQuiet) return;
    out.push_back({false, "settings.mode",
                   "installer mode " + std::to_string(m) +
                       " is not one the installer knows: 1 (BMP picture), 2 or 3 (movie), 4 (quiet, no "
                       "window), 8 (JPEG picture)"});
}

void checkPreview(const PackageView& p, Findings& out) {
    const PackageView::Slot& s = p.slots[slot::kPreview];
    const uint8_t m = p.installerMode;
    if (!s.used || !s.bytes || !(mode::isPicture(m) || mode::isMovie(m))) return;
    const std::string key = slotKey(slot::kPreview, "file");
    const std::string what = s.source.empty() ? quotedName(s.name) : s.source;
    const std::vector<uint8_t>& b = *s.bytes;
    if (mode::isMovie(m)) {
        uint8_t version = 0;
        const Result verdict = movieVerdict(b, version);
        RequiredFlashVersion required;
        if (verdict == rc::kOk && requiredFlashVersion(p.flashVersionIndex, required) &&
            version > required.major)
            out.push_back({true, key,
                           what + " is a movie of SWF version " + std::to_string(version) +
                               ", but the package asks only for player " + std::to_string(required.major) +
                               " (settings.flash_version_index " + std::to_string(p.flashVersionIndex) +
                               "): where that player is installed the movie cannot play, and the installer "
                               "installs at once, without its window"});
        if (verdict != rc::kOk)
            out.push_back({false, key,
                           what + " is " + movieFault(verdict) + contentOf(b) + "; mode " +
                               std::to_string(m) +
                               " plays a movie, and one it cannot play makes the installer install at once, "
                               "without its window, the licence or the overwrite question"});
        return;
    }
    const bool jpeg = m == mode::kJpegPreview;
    const PictureCheck c = jpeg ? checkJpeg(b.data(), b.size()) : checkBitmap(b.data(), b.size());
    if (!c.ok) {
        out.push_back({false, key,
                       what + ": " + c.fault + contentOf(b) + "; mode " + std::to_string(m) + " shows " +
                           (jpeg ? "a JPEG picture" : "a BMP picture") +
                           ": the installer shows \"CorruptFile\" in its place"});
        return;
    }
    if (c.width != kPreviewWidth || c.height != kPreviewHeight)
        out.push_back({true, key,
                       what + " is " + std::to_string(c.width) + " x " + std::to_string(c.height) +
                           "; the installer stretches it to " + std::to_string(kPreviewWidth) + " x " +
                           std::to_string(kPreviewHeight)});
}

// Slot 2 reaches the player's installer only when the installer writes it
// to its scratch folder under its own name, where it starts it from.
void checkPlayerInstaller(const PackageView& p, Findings& out) {
    const PackageView::Slot& s = p.slots[slot::kFlashInstaller];
    if (!s.used) return;
    PackageEntry e{};
    e.setName(s.name);
    e.targetKind = s.kind;
    const SlotFolders folders{"SYSTEM\\", "SCRATCH\\", "INSTALL\\", p.saverName, nullptr};
    const std::string dest = slotDestination(e, folders);
    if (dest == folders.scratchDir + s.name) return;
    if (s.kind == kind::kSystemLibrary)
        out.push_back(
            {false, slotKey(slot::kFlashInstaller, "name"),
             quotedName(s.name) +
                 " is not a name the installer recognises as the player's installer (flashax7.exe or "
                 "install_flash_player_active_x.msi, exactly): it would be written to the system "
                 "folder as a DLL, and the player would not be installed"});
    else
        out.push_back({false, slotKey(slot::kFlashInstaller, "kind"),
                       "kind " + std::to_string(s.kind) +
                           " does not put the player's installer into the scratch folder, where the "
                           "installer starts it from (kind 3 with a recognised name, or kind 7)"});
}

// The installer registers, activates and uninstalls the saver as the
// system folder's saver name plus ".scr".
void checkSaverFile(const PackageView& p, Findings& out) {
    const PackageView::Slot& s = p.slots[slot::kSaver];
    if (!s.used || p.saverName.empty()) return;
    const std::string expected = p.saverName + ".scr";
    if (lower1252(s.name) != lower1252(expected))
        out.push_back(
            {false, slotKey(slot::kSaver, "name"),
             "slot 6 is named " + quotedName(s.name) + ", but the installer registers the saver as " +
                 quotedName(expected) +
                 " (the saver name plus .scr): its uninstall entry and the active screen saver would "
                 "name a file that does not exist"});
    else if (s.kind != kind::kSystemDir)
        out.push_back(
            {false, slotKey(slot::kSaver, "kind"),
             "kind " + std::to_string(s.kind) + " does not put the saver into the system folder (kind " +
                 std::to_string(kind::kSystemDir) + "), where the installer registers and uninstalls it"});
}

// Two slots the installer writes to one file: the later one replaces the
// earlier, which the installation then lacks.
void checkSameDestination(const PackageView& p, Findings& out) {
    const SlotFolders folders{"SYSTEM\\", "SCRATCH\\", "INSTALL\\", p.saverName, nullptr};
    std::array<std::string, kSlotCount> dest;
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot) {
        const PackageView::Slot& s = p.slots[size_t(slot)];
        if (!s.used) continue;
        PackageEntry e{};
        e.setName(s.name);
        e.targetKind = s.kind;
        dest[size_t(slot)] = lower1252(slotDestination(e, folders));
        for (int earlier = kFirstPackageSlot; earlier < slot; ++earlier)
            if (!dest[size_t(earlier)].empty() && dest[size_t(earlier)] == dest[size_t(slot)]) {
                out.push_back({false, slotKey(slot, "name"),
                               "slot " + std::to_string(slot) + " is written to the same file as slot " +
                                   std::to_string(earlier) + " (" + quotedName(s.name) +
                                   "): the installer would replace the one with the other"});
                break;
            }
    }
}

void checkDocument(const PackageView& p, int slot, const char* what, Findings& out) {
    const PackageView::Slot& s = p.slots[size_t(slot)];
    if (!s.used || !s.bytes) return;
    if (looksLikeText(*s.bytes)) {
        // Shown through the system's ANSI functions: UTF-8 comes out garbled.
        const std::string text(s.bytes->begin(), s.bytes->end());
        const std::string first = firstUtf8Character(text);
        if (first.empty()) return;
        const std::string shown = toUtf8(first, kDefaultCodePage);
        out.push_back({true, slotKey(slot, "file"),
                       (s.source.empty() ? quotedName(s.name) : s.source) +
                           " is UTF-8 text; the installer shows the " + what + " in code page 1252, where " +
                           (first == "\xef\xbb\xbf" ? "its byte-order mark" : "'" + first + "'") +
                           " reads '" + shown + "' (save it as Windows-1252)"});
        return;
    }
    out.push_back({true, slotKey(slot, "file"),
                   (s.source.empty() ? quotedName(s.name) : s.source) + " is not text" + contentOf(*s.bytes) +
                       "; the installer shows the " + what + " as text"});
}

bool contains(const std::vector<uint8_t>& haystack, const char* needle) {
    const size_t n = std::strlen(needle);
    if (haystack.size() < n) return false;
    for (size_t i = 0; i + n <= haystack.size(); ++i)
        if (haystack[i] == uint8_t(needle[0]) && std::memcmp(haystack.data() + i, needle, n) == 0)
            return true;
    return false;
}

bool startsWithMz(const std::vector<uint8_t>& b) {
    return b.size() >= 2 && b[0] == 'M' && b[1] == 'Z';
}

}  // namespace

std::string movieFault(Result verdict) {
    switch (verdict) {
        case rc::kSwfBadSignature:
            return "not a movie (-404: no FWS or CWS signature)";
        case rc::kSwfTooNew:
            return "a movie of an SWF version above 8 (-405)";
        case rc::kSwfTooOld:
            return "a movie of an SWF version below 3 (-406)";
        case rc::kSwfTruncated:
            return "shorter than a movie's 8-byte header (-407)";
        case rc::kSwfInflateFailed:
            return "a compressed movie whose body is damaged or cut short (-408)";
        default:
            return "refused by the movie inspection (" + std::to_string(verdict) + ")";
    }
}

bool looksLikeText(const std::vector<uint8_t>& bytes) {
    for (uint8_t c : bytes)
        if (c == 0 || (c < 32 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || c == 127) return false;
    return true;
}

// Names are held in code page 1252; one whose bytes read as UTF-8 beyond
// ASCII was written by a tool that did not transcode it, and Windows shows
// it garbled.
void checkNameEncoding(const std::string& name, const std::string& key, Findings& out) {
    if (firstUtf8Character(name).empty()) return;
    out.push_back({true, key,
                   quotedName(name) +
                       " is how Windows shows this name: its bytes are UTF-8, not code page 1252 "
                       "(\"" +
                       name + "\" was meant; build it again with this tool)"});
}

std::vector<Finding> packageFindings(const PackageView& package) {
    Findings out;
    checkMode(package, out);
    checkPreview(package, out);
    checkPlayerInstaller(package, out);
    checkSaverFile(package, out);
    checkSameDestination(package, out);
    checkDocument(package, slot::kLicense, "licence", out);
    checkDocument(package, slot::kReadMe, "read-me", out);
    return out;
}

std::vector<Finding> nameEncodingFindings(const PackageView& package) {
    Findings out;
    checkNameEncoding(package.saverName, "settings.saver_name", out);
    for (int slot = kFirstPackageSlot; slot <= kLastPackageSlot; ++slot)
        if (package.slots[size_t(slot)].used)
            checkNameEncoding(package.slots[size_t(slot)].name, slotKey(slot, "name"), out);
    return out;
}

std::vector<Finding> programImageFindings(const std::vector<uint8_t>& image,
                                          const std::vector<uint8_t>& manifest) {
    const std::string stubHint =
        "; give the installer's program image, install.exe, first: build STUB MANIFEST OUT";
    auto refusal = [](const std::string& text) { return Findings{{false, "STUB", text}}; };
    if (image.size() > size_t(kPackageOffset)) {
        std::string text = "the stub is " + std::to_string(image.size()) + " bytes, more than the " +
                           std::to_string(kPackageOffset) + " the package offset allows";
        if (image.size() >= size_t(kFirstSlotOffset) && startsWithMz(image)) {
            uint8_t bytes[kPackageHeaderSize];
            std::memcpy(bytes, image.data() + kPackageOffset, kPackageHeaderSize);
            PackageHeader h;
            decodePackageHeader(bytes, h);
            if (h.entries[0].name() == kInstallerSlotName)
                text += ": it is an installer already built (a package follows its program image)";
        }
        return refusal(text + stubHint);
    }
    if (!startsWithMz(image)) {
        std::string text = std::string("the stub is ") +
                           (looksLikeText(image) ? "text" : "no Windows program") +
                           ", not the installer's program image (no MZ signature)";
        if (startsWithMz(manifest))
            return refusal(text +
                           "; were the stub and the manifest given in the wrong order? build takes STUB "
                           "MANIFEST OUT, the stub being install.exe");
        return refusal(text + stubHint);
    }
    const size_t pe = image.size() >= 0x40 ? readLE32(image.data() + 0x3C) : image.size();
    if (pe > image.size() || image.size() - pe < 24 || std::memcmp(image.data() + pe, "PE\0\0", 4) != 0)
        return refusal(
            "the stub starts like a program but has no PE signature: it is not the installer's "
            "program image" +
            stubHint);
    const uint32_t machine = readLE16(image.data() + pe + 4);
    const uint32_t characteristics = readLE16(image.data() + pe + 22);
    constexpr uint32_t kMachineI386 = 0x14C, kImageFileDll = 0x2000;
    if (characteristics & kImageFileDll)
        return refusal("the stub is a DLL, not the installer's program image" + stubHint);
    if (machine != kMachineI386)
        return refusal("the stub is not a 32-bit x86 program, so not the installer's program image" +
                       stubHint);
    if (!contains(image, SSI_IMAGE_MARK))
        return refusal(
            "the stub is a Windows program, but not the installer's program image (it lacks the "
            "mark its build puts into install.exe)" +
            stubHint);
    return {};
}

std::string findingText(const Finding& f, const std::string& manifestPath,
                        const std::map<std::string, int>& lines) {
    // A key the manifest leaves out (a slot's default name) points at its table.
    auto line = lines.find(f.key);
    if (line == lines.end() && f.key.rfind('.') != std::string::npos)
        line = lines.find(f.key.substr(0, f.key.rfind('.')));
    std::string where;
    if (line != lines.end() && !manifestPath.empty())
        where = manifestPath + ":" + std::to_string(line->second) + ": ";
    return where + f.key + ": " + f.text;
}

}  // namespace ssi::tool
