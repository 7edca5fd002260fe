// Codec benchmark: our implode/explode against StormLib's, side by side on the
// same corpus in one run. Prints, per dictionary size, corpus file and literal
// mode, compressed sizes and throughputs with the ratios ours/StormLib, and
// marks every row that misses a bound:
//   !IMP   implode slower than StormLib's (ratio below 1.00)
//   !EXP   explode less than 1.5 times as fast as StormLib's
//   !SIZE  our stream larger than the size recorded for the file
//          (tests/codec/codec_test_support.cpp)
//
//   bench_codec [--dict 1024|2048|4096] [--min-time SECONDS] [FILE...]
//
// Extra FILE arguments are added to the built-in corpus (no size is recorded
// for them). Throughput is input megabytes (10^6 bytes) per second. Ours and
// StormLib's are timed in alternating rounds, so that load from elsewhere on
// the machine falls on both alike, and each figure is the best round; the
// rounds of a pair last at least --min-time in all. Explode is timed on
// StormLib's stream (the classic encoder's output) for both decoders, so both
// decode the same bits. The exit code is nonzero only when a stream did not
// decode to its input.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/implode.h"
#include "tests/codec/codec_test_support.h"
#include "tests/codec/stormlib_peer.h"

namespace {

using ssi::codec::test::Bytes;
using Clock = std::chrono::steady_clock;

constexpr double kImplodeBound = 1.0;
constexpr double kExplodeBound = 1.5;
constexpr int kRounds = 4;

struct Io {
    const std::uint8_t* in;
    std::size_t size;
    std::size_t pos;
    std::uint8_t* out;
    std::size_t capacity;
    std::size_t written;
};

unsigned int readIo(char* buf, unsigned int* want, void* param) {
    auto* io = static_cast<Io*>(param);
    const std::size_t n = std::min<std::size_t>(*want, io->size - io->pos);
    if (n != 0) std::memcpy(buf, io->in + io->pos, n);
    io->pos += n;
    return static_cast<unsigned int>(n);
}

void writeIo(char* buf, unsigned int* got, void* param) {
    auto* io = static_cast<Io*>(param);
    const std::size_t n = std::min<std::size_t>(*got, io->capacity - io->written);
    std::memcpy(io->out + io->written, buf, n);
    io->written += n;
}

using ImplodeFn = unsigned int (*)(ssi::codec::ReadFn, ssi::codec::WriteFn, char*, void*, unsigned int*,
                                   unsigned int*);
using ExplodeFn = unsigned int (*)(ssi::codec::ReadFn, ssi::codec::WriteFn, char*, void*);

// One codec run: fills `out`, returns the written size, or SIZE_MAX on error.
struct Runner {
    virtual ~Runner() = default;
    virtual std::size_t once() = 0;
};

struct ImplodeRunner : Runner {
    ImplodeFn fn;
    std::unique_ptr<char[]> work;
    const Bytes& data;
    unsigned type, dsize;
    Bytes out;
    ImplodeRunner(ImplodeFn f, std::size_t workSize, const Bytes& d, unsigned t, unsigned ds)
        : fn(f),
          work(std::make_unique<char[]>(workSize)),
          data(d),
          type(t),
          dsize(ds),
          out(d.size() * 2 + 1024) {}
    std::size_t once() override {
        Io io{data.data(), data.size(), 0, out.data(), out.size(), 0};
        unsigned ty = type, ds = dsize;
        return fn(readIo, writeIo, work.get(), &io, &ty, &ds) == 0 ? io.written : SIZE_MAX;
    }
};

struct ExplodeRunner : Runner {
    ExplodeFn fn;
    std::unique_ptr<char[]> work;
    const Bytes& stream;
    Bytes out;
    ExplodeRunner(ExplodeFn f, std::size_t workSize, const Bytes& s, std::size_t expected)
        : fn(f), work(std::make_unique<char[]>(workSize)), stream(s), out(expected + 1024) {}
    std::size_t once() override {
        Io io{stream.data(), stream.size(), 0, out.data(), out.size(), 0};
        return fn(readIo, writeIo, work.get(), &io) == 0 ? io.written : SIZE_MAX;
    }
};

// Best seconds per run of each runner, timed in alternating rounds.
struct Pair {
    double ours = 1e30;
    double theirs = 1e30;
};
Pair timePair(Runner& ours, Runner& theirs, double minTime) {
    Pair best;
    const double roundTime = minTime / (2 * kRounds);
    for (int round = 0; round < kRounds; ++round) {
        for (Runner* r : {&ours, &theirs}) {
            int runs = 0;
            const auto start = Clock::now();
            double elapsed = 0;
            do {
                r->once();
                ++runs;
                elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            } while (elapsed < roundTime);
            double& slot = r == &ours ? best.ours : best.theirs;
            slot = std::min(slot, elapsed / runs);
        }
    }
    return best;
}

struct Row {
    std::string name;
    unsigned type = 0;
    std::size_t size = 0;
    std::size_t oursPacked = 0, theirsPacked = 0, recorded = 0;
    Pair implode, explode;
    bool ok = true;
};

struct Misses {
    int implode = 0, explode = 0, size = 0, rows = 0;
};

double ratio(const Pair& p) {
    return p.ours > 0 ? p.theirs / p.ours : 0.0;
}

void printHeader() {
    std::printf("%-13s %-4s %8s | %8s %8s %8s %6s | %7s %7s %5s | %7s %7s %5s | %s\n", "file", "mode", "size",
                "packed", "recorded", "StormLib", "ratio", "implode", "Storm", "ratio", "explode", "Storm",
                "ratio", "misses");
    std::printf("%s\n", std::string(124, '-').c_str());
}

void printRow(const Row& r, Misses& m) {
    auto mbs = [&](double sec) { return sec > 0 ? static_cast<double>(r.size) / 1e6 / sec : 0.0; };
    const double ri = ratio(r.implode), re = ratio(r.explode);
    std::string misses;
    if (ri < kImplodeBound) {
        misses += " !IMP";
        ++m.implode;
    }
    if (re < kExplodeBound) {
        misses += " !EXP";
        ++m.explode;
    }
    if (r.recorded != 0 && r.oursPacked > r.recorded) {
        misses += " !SIZE";
        ++m.size;
    }
    if (!r.ok) misses += " MISMATCH";
    ++m.rows;
    char recorded[24] = "-";
    if (r.recorded != 0) std::snprintf(recorded, sizeof recorded, "%zu", r.recorded);
    std::printf("%-13s %-4s %8zu | %8zu %8s %8zu %6.4f | %7.1f %7.1f %5.2f | %7.1f %7.1f %5.2f |%s\n",
                r.name.c_str(), r.type == ssi::codec::kBinary ? "bin" : "asc", r.size, r.oursPacked, recorded,
                r.theirsPacked, static_cast<double>(r.oursPacked) / static_cast<double>(r.theirsPacked),
                mbs(r.implode.ours), mbs(r.implode.theirs), ri, mbs(r.explode.ours), mbs(r.explode.theirs),
                re, misses.c_str());
    std::fflush(stdout);
}

Row benchRow(const std::string& name, const Bytes& data, unsigned type, unsigned dsize, double minTime) {
    Row r;
    r.name = name;
    r.type = type;
    r.size = data.size();
    r.recorded = ssi::codec::test::recordedPackedSize(type, dsize, name);

    ImplodeRunner oursImplode(ssi::codec::implode, ssi::codec::kImplodeWorkSize, data, type, dsize);
    ImplodeRunner theirsImplode(::implode, ssi::codec::peer::kStormImplodeWork, data, type, dsize);
    const std::size_t oursSize = oursImplode.once(), theirsSize = theirsImplode.once();
    r.ok = oursSize != SIZE_MAX && theirsSize != SIZE_MAX;
    if (!r.ok) return r;
    const Bytes ours(oursImplode.out.begin(),
                     oursImplode.out.begin() + static_cast<std::ptrdiff_t>(oursSize));
    const Bytes theirs(theirsImplode.out.begin(),
                       theirsImplode.out.begin() + static_cast<std::ptrdiff_t>(theirsSize));
    r.oursPacked = ours.size();
    r.theirsPacked = theirs.size();
    r.implode = timePair(oursImplode, theirsImplode, minTime);

    ExplodeRunner oursExplode(ssi::codec::explode, ssi::codec::kExplodeWorkSize, theirs, data.size());
    ExplodeRunner theirsExplode(::explode, ssi::codec::peer::kStormExplodeWork, theirs, data.size());
    r.explode = timePair(oursExplode, theirsExplode, minTime);

    // Both decoders restore the input from StormLib's stream, and StormLib's
    // from ours.
    auto restores = [&](ExplodeRunner& e) {
        return e.once() == data.size() && std::equal(data.begin(), data.end(), e.out.begin());
    };
    Bytes check;
    r.ok = restores(oursExplode) && restores(theirsExplode) &&
           ssi::codec::peer::stormExplode(ours.data(), ours.size(), check) == 0 && check == data;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<unsigned> dicts = {1024, 2048, 4096};
    double minTime = 0.25;
    std::vector<std::pair<std::string, Bytes>> corpus;
    for (const char* name : {"text", "executable", "jpeg", "mixed", "zeros-1.5M", "random-1.1M"}) {
        corpus.emplace_back(name, ssi::codec::test::corpusFile(name));
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dict" && i + 1 < argc) {
            const unsigned d = static_cast<unsigned>(std::atoi(argv[++i]));
            if (d != 1024 && d != 2048 && d != 4096) {
                std::fprintf(stderr, "bench_codec: --dict must be 1024, 2048 or 4096\n");
                return 2;
            }
            dicts = {d};
        } else if (arg == "--min-time" && i + 1 < argc) {
            minTime = std::atof(argv[++i]);
        } else {
            corpus.emplace_back(arg.substr(arg.find_last_of('/') + 1), ssi::codec::test::readFile(arg));
        }
    }

    std::printf(
        "implode codec: ours vs StormLib, best of %d alternating rounds (%.2f s per pair of figures)\n",
        kRounds, minTime);
    std::printf(
        "sizes in bytes, speeds in MB/s of uncompressed data; ratios ours/StormLib for sizes "
        "(below 1: smaller), StormLib's time/ours for speeds (above 1: faster)\n");
    std::printf("bounds: implode >= %.2f (!IMP), explode >= %.2f (!EXP), packed <= recorded (!SIZE)\n",
                kImplodeBound, kExplodeBound);

    Misses misses;
    bool allOk = true;
    for (unsigned dsize : dicts) {
        std::printf("\ndictionary %u\n", dsize);
        printHeader();
        for (unsigned type : {ssi::codec::kBinary, ssi::codec::kAscii}) {
            for (const auto& [name, data] : corpus) {
                if (data.size() < 2) continue;
                const Row r = benchRow(name, data, type, dsize, minTime);
                printRow(r, misses);
                allOk = allOk && r.ok;
            }
        }
    }
    std::printf(
        "\n%d rows: implode below %.2f in %d, explode below %.2f in %d, packed above recorded in %d\n",
        misses.rows, kImplodeBound, misses.implode, kExplodeBound, misses.explode, misses.size);
    if (!allOk) std::printf("MISMATCH: a stream did not decode to its input (see rows above)\n");
    return allOk ? 0 : 1;
}
