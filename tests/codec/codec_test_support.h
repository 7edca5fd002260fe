// Helpers shared by the codec tests and the codec benchmark: the corpus,
// callbacks that move data in fixed-size chunks, and a builder for crafting
// streams token by token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace ssi::codec::test {

using Bytes = std::vector<std::uint8_t>;

// Corpus entries by name: "empty", "one-byte", "text", "executable", "jpeg",
// "zeros-1.5M", "random-1.1M", "mixed". Loaded on first use.
const std::vector<std::string>& corpusNames();

// Test names for the (literal mode, dictionary size, corpus file) cases:
// "binary_4096_text", with anything not alphanumeric turned into '_'.
std::string corpusCaseName(const std::tuple<unsigned, unsigned, std::string>& param);
struct CorpusCaseName {
    template <class Info>
    std::string operator()(const Info& info) const {
        return corpusCaseName(info.param);
    }
};
const Bytes& corpusFile(const std::string& name);

// Compressed sizes the encoder gave for the corpus files when this table was
// made, per literal mode and dictionary size: a change to the encoder must
// not give larger ones. 0 for a name the table does not hold.
std::size_t recordedPackedSize(unsigned mode, unsigned dsize, const std::string& name);

Bytes readFile(const std::string& path, std::size_t maxBytes = SIZE_MAX);
Bytes randomBytes(std::size_t size, std::uint32_t seed);

// Source and sink for the streaming callbacks. `chunk` bounds every read
// (0: whatever the codec asks for).
struct ChunkedIo {
    const std::uint8_t* in = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    std::size_t chunk = 0;
    Bytes out;
    std::size_t reads = 0;
    std::size_t writes = 0;

    ChunkedIo(const Bytes& input, std::size_t chunkSize = 0)
        : in(input.data()), size(input.size()), chunk(chunkSize) {}
    ChunkedIo(Bytes&&, std::size_t = 0) = delete;  // would point into a temporary
    static unsigned int read(char* buf, unsigned int* want, void* param);
    static void write(char* buf, unsigned int* got, void* param);
};

// Writes a stream from explicit tokens, least significant bit first.
class StreamBuilder {
public:
    StreamBuilder(unsigned mode, unsigned dictBits);
    StreamBuilder& literal(std::uint8_t byte);
    StreamBuilder& match(unsigned length, unsigned distance);
    StreamBuilder& end();  // the end-of-stream code
    Bytes bytes() const;   // pads the last byte with zero bits

private:
    void put(std::uint32_t value, unsigned count);
    unsigned mode_;
    unsigned dictBits_;
    Bytes out_;
    std::uint32_t acc_ = 0;
    unsigned pending_ = 0;
};

}  // namespace ssi::codec::test
