#include "tests/codec/codec_test_support.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <stdexcept>

#include "codec/implode.h"
#include "codec/implode_codes.h"

#ifndef SSI_SOURCE_DIR
#error "SSI_SOURCE_DIR must name the source tree"
#endif

namespace ssi::codec::test {

Bytes readFile(const std::string& path, std::size_t maxBytes) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + path);
    Bytes data;
    char buf[65536];
    while (data.size() < maxBytes && f.read(buf, sizeof buf).gcount() > 0) {
        const std::size_t n =
            std::min<std::size_t>(static_cast<std::size_t>(f.gcount()), maxBytes - data.size());
        data.insert(data.end(), buf, buf + n);
    }
    return data;
}

Bytes randomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes data(size);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng() >> 24);
    return data;
}

namespace {

// Real prose and code, and a real program image, kept as fixed files: sizes
// measured on them compare across versions of the codec, which would not hold
// for inputs read from the sources or binaries being changed. text.txt is the
// codec's sources and tests as they stood when the corpus was fixed;
// executable.bin an optimised x86-64 build of the codec benchmark.
Bytes dataFile(const char* name) {
    return readFile(std::string(SSI_SOURCE_DIR) + "/tests/codec/data/" + name);
}

// Text, runs and noise interleaved: exercises long matches, distance 1 and
// block boundaries of the encoder in one input.
Bytes makeMixed() {
    const Bytes text = dataFile("text.txt");
    const Bytes noise = randomBytes(5400, 99);
    Bytes out;
    for (int round = 0; round < 6; ++round) {
        out.insert(out.end(), text.begin(),
                   text.begin() + std::min<std::size_t>(text.size(), 7000 + 1000 * round));
        out.insert(out.end(), 700 + 333 * round, static_cast<std::uint8_t>('a' + round));
        out.insert(out.end(), noise.begin(), noise.begin() + 900 * (round + 1));
        for (int k = 0; k < 400; ++k) out.push_back(static_cast<std::uint8_t>(k % (round + 2)));
    }
    return out;
}

Bytes makeCorpusFile(const std::string& name) {
    if (name == "empty") return {};
    if (name == "one-byte") return {0x5A};
    if (name == "text") return dataFile("text.txt");
    if (name == "executable") return dataFile("executable.bin");
    if (name == "jpeg") return dataFile("photo.jpg");
    if (name == "zeros-1.5M") return Bytes(1536 * 1024, 0);
    if (name == "random-1.1M") return randomBytes(1126 * 1024, 12345);
    if (name == "mixed") return makeMixed();
    throw std::runtime_error("unknown corpus file " + name);
}

}  // namespace

const std::vector<std::string>& corpusNames() {
    static const std::vector<std::string> names = {"empty", "one-byte",   "text",        "executable",
                                                   "jpeg",  "zeros-1.5M", "random-1.1M", "mixed"};
    return names;
}

const Bytes& corpusFile(const std::string& name) {
    static std::map<std::string, Bytes> cache;
    auto it = cache.find(name);
    if (it == cache.end()) it = cache.emplace(name, makeCorpusFile(name)).first;
    return it->second;
}

std::size_t recordedPackedSize(unsigned mode, unsigned dsize, const std::string& name) {
    struct Recorded {
        const char* name;
        std::size_t binary[3];  // dictionary 1024, 2048, 4096
        std::size_t ascii[3];
    };
    static const Recorded kRecorded[] = {
        {"empty", {4, 4, 4}, {4, 4, 4}},
        {"one-byte", {6, 6, 6}, {6, 6, 6}},
        {"text", {21347, 19309, 17725}, {19594, 18048, 16817}},
        {"executable", {39127, 37814, 36242}, {43373, 41755, 39744}},
        {"jpeg", {16764, 16761, 16754}, {21553, 21548, 21537}},
        {"zeros-1.5M", {8357, 8737, 9116}, {8358, 8737, 9117}},
        {"random-1.1M", {1294124, 1294027, 1293861}, {1675727, 1675563, 1675274}},
        {"mixed", {47144, 45093, 43631}, {51129, 49721, 48641}},
    };
    const int d = dsize == 1024 ? 0 : dsize == 2048 ? 1 : dsize == 4096 ? 2 : -1;
    if (d < 0) return 0;
    for (const Recorded& r : kRecorded) {
        if (name == r.name) return mode == codec::kBinary ? r.binary[d] : r.ascii[d];
    }
    return 0;
}

unsigned int ChunkedIo::read(char* buf, unsigned int* want, void* param) {
    auto* io = static_cast<ChunkedIo*>(param);
    ++io->reads;
    std::size_t n = std::min<std::size_t>(*want, io->size - io->pos);
    if (io->chunk != 0) n = std::min(n, io->chunk);
    if (n != 0) std::memcpy(buf, io->in + io->pos, n);
    io->pos += n;
    return static_cast<unsigned int>(n);
}

void ChunkedIo::write(char* buf, unsigned int* got, void* param) {
    auto* io = static_cast<ChunkedIo*>(param);
    ++io->writes;
    io->out.insert(io->out.end(), buf, buf + *got);
}

StreamBuilder::StreamBuilder(unsigned mode, unsigned dictBits) : mode_(mode), dictBits_(dictBits) {
    out_.push_back(static_cast<std::uint8_t>(mode));
    out_.push_back(static_cast<std::uint8_t>(dictBits));
}

void StreamBuilder::put(std::uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        acc_ |= ((value >> i) & 1u) << pending_;
        if (++pending_ == 8) {
            out_.push_back(static_cast<std::uint8_t>(acc_));
            acc_ = 0;
            pending_ = 0;
        }
    }
}

StreamBuilder& StreamBuilder::literal(std::uint8_t byte) {
    put(0, 1);
    if (mode_ == 0) {
        put(byte, 8);
    } else {
        put(detail::kLiteralCodes[byte].bits, detail::kLiteralCodes[byte].length);
    }
    return *this;
}

StreamBuilder& StreamBuilder::match(unsigned length, unsigned distance) {
    using namespace detail;
    put(1, 1);
    unsigned s = 0;
    while (!(length >= kLengthBase[s] && length < kLengthBase[s] + (1u << kLengthExtra[s]))) ++s;
    put(kLengthCodes[s].bits, kLengthCodes[s].length);
    put(length - kLengthBase[s], kLengthExtra[s]);
    if (length == kEndLength) return *this;
    const unsigned low = length == 2 ? 2u : dictBits_;
    const unsigned d = distance - 1;
    put(kDistanceCodes[d >> low].bits, kDistanceCodes[d >> low].length);
    put(d & ((1u << low) - 1u), low);
    return *this;
}

StreamBuilder& StreamBuilder::end() {
    return match(detail::kEndLength, 0);
}

Bytes StreamBuilder::bytes() const {
    Bytes b = out_;
    if (pending_ != 0) b.push_back(static_cast<std::uint8_t>(acc_));
    return b;
}

std::string corpusCaseName(const std::tuple<unsigned, unsigned, std::string>& param) {
    std::string name = std::string(std::get<0>(param) == codec::kBinary ? "binary" : "ascii") + "_" +
                       std::to_string(std::get<1>(param)) + "_" + std::get<2>(param);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

}  // namespace ssi::codec::test
