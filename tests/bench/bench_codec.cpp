// Codec benchmark: our implode/explode against StormLib's, side by side on the
// same corpus in one run. Prints, per dictionary size, corpus file and literal
// mode, compressed sizes and throughputs with the ratios ours/StormLib, and
// marks every row that misses a bound:
//   !IMP   implode less than 1.10 times as fast as StormLib's
//   !EXP   explode less than 1.5 times as fast as StormLib's
//   !SIZE  our stream larger than the size recorded for the file
//          (tests/codec/codec_test_support.cpp)
//
//   bench_codec [--dict 1024|2048|4096] [--min-time SECONDS] [FILE...]
//
// Extra FILE arguments are added to the built-in corpus (no size is recorded
// for them). Throughput is input megabytes (10^6 bytes) per second of the
// processor time the benchmark's thread used. Ours and StormLib's are timed in
// alternating rounds, so that load from elsewhere on the machine falls on both
// alike, and each figure is the best round; the rounds of a pair last at least
// --min-time in all. The whole table is measured three times, one pass after
// another, so that a burst of load falls on one pass of a row rather than on
// all three: each speed printed is the median of the passes, each ratio the
// median of the passes' ratios, and the implode column also lists the ratio of
// every pass. Explode is timed on StormLib's stream (the classic encoder's
// output) for both decoders, so both decode the same bits. The exit code is
// nonzero only when a stream did not decode to its input.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "codec/implode.h"
#include "tests/codec/codec_test_support.h"
#include "tests/codec/stormlib_peer.h"

namespace {

using ssi::codec::test::Bytes;

// Seconds of processor time this thread has used: time the scheduler gives to
// other processes on a shared machine is not counted, which wall-clock time
// would. Falls back to a steady wall clock where there is no such clock.
double threadSeconds() {
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec t{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
    }
#endif
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

constexpr double kImplodeBound = 1.10;
constexpr double kExplodeBound = 1.5;
constexpr int kRounds = 4;
constexpr int kPasses = 3;

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
            const double start = threadSeconds();
            double elapsed = 0;
            do {
                r->once();
                ++runs;
                elapsed = threadSeconds() - start;
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
    std::vector<Pair> implode, explode;  // one per pass
    bool ok = true;
};

struct Misses {
    int implode = 0, explode = 0, size = 0, rows = 0;
};

double ratio(const Pair& p) {
    return p.ours > 0 ? p.theirs / p.ours : 0.0;
}

// The median of the values (the upper one of the middle two for an even count).
double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median figures over the passes of one codec's measurements.
struct Medians {
    double ours = 0, theirs = 0, ratio = 0;
    std::vector<double> ratios;  // per pass, in pass order
};
Medians medians(const std::vector<Pair>& passes) {
    Medians m;
    std::vector<double> ours, theirs;
    for (const Pair& p : passes) {
        ours.push_back(p.ours);
        theirs.push_back(p.theirs);
        m.ratios.push_back(ratio(p));
    }
    m.ours = median(ours);
    m.theirs = median(theirs);
    m.ratio = median(m.ratios);
    return m;
}

void printHeader() {
    std::printf("%-13s %-4s %8s | %8s %8s %8s %6s | %7s %7s %5s %-16s | %7s %7s %5s | %s\n", "file", "mode",
                "size", "packed", "recorded", "StormLib", "ratio", "implode", "Storm", "ratio", "(passes)",
                "explode", "Storm", "ratio", "misses");
    std::printf("%s\n", std::string(141, '-').c_str());
}

void printRow(const Row& r, Misses& m) {
    auto mbs = [&](double sec) { return sec > 0 ? static_cast<double>(r.size) / 1e6 / sec : 0.0; };
    const Medians mi = medians(r.implode), me = medians(r.explode);
    std::string misses;
    if (mi.ratio < kImplodeBound) {
        misses += " !IMP";
        ++m.implode;
    }
    if (me.ratio < kExplodeBound) {
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
    std::string passes = "(";
    for (std::size_t k = 0; k < mi.ratios.size(); ++k) {
        char one[16];
        std::snprintf(one, sizeof one, "%s%.2f", k == 0 ? "" : " ", mi.ratios[k]);
        passes += one;
    }
    passes += ")";
    std::printf("%-13s %-4s %8zu | %8zu %8s %8zu %6.4f | %7.1f %7.1f %5.2f %-16s | %7.1f %7.1f %5.2f |%s\n",
                r.name.c_str(), r.type == ssi::codec::kBinary ? "bin" : "asc", r.size, r.oursPacked, recorded,
                r.theirsPacked, static_cast<double>(r.oursPacked) / static_cast<double>(r.theirsPacked),
                mbs(mi.ours), mbs(mi.theirs), mi.ratio, passes.c_str(), mbs(me.ours), mbs(me.theirs),
                me.ratio, misses.c_str());
    std::fflush(stdout);
}

// Sizes and round trips of one row; its timings are added by timeRow().
Row checkRow(const std::string& name, const Bytes& data, unsigned type, unsigned dsize) {
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

    // Both decoders restore the input from StormLib's stream, and StormLib's
    // from ours.
    ExplodeRunner oursExplode(ssi::codec::explode, ssi::codec::kExplodeWorkSize, theirs, data.size());
    ExplodeRunner theirsExplode(::explode, ssi::codec::peer::kStormExplodeWork, theirs, data.size());
    auto restores = [&](ExplodeRunner& e) {
        return e.once() == data.size() && std::equal(data.begin(), data.end(), e.out.begin());
    };
    Bytes check;
    r.ok = restores(oursExplode) && restores(theirsExplode) &&
           ssi::codec::peer::stormExplode(ours.data(), ours.size(), check) == 0 && check == data;
    return r;
}

// One pass of a row's timings: implode on the input, explode on StormLib's
// stream (the classic encoder's output) for both decoders.
void timeRow(Row& r, const Bytes& data, unsigned type, unsigned dsize, double minTime) {
    ImplodeRunner oursImplode(ssi::codec::implode, ssi::codec::kImplodeWorkSize, data, type, dsize);
    ImplodeRunner theirsImplode(::implode, ssi::codec::peer::kStormImplodeWork, data, type, dsize);
    const std::size_t theirsSize = theirsImplode.once();
    r.implode.push_back(timePair(oursImplode, theirsImplode, minTime));
    const Bytes theirs(theirsImplode.out.begin(),
                       theirsImplode.out.begin() + static_cast<std::ptrdiff_t>(theirsSize));
    ExplodeRunner oursExplode(ssi::codec::explode, ssi::codec::kExplodeWorkSize, theirs, data.size());
    ExplodeRunner theirsExplode(::explode, ssi::codec::peer::kStormExplodeWork, theirs, data.size());
    r.explode.push_back(timePair(oursExplode, theirsExplode, minTime));
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
        "implode codec: ours vs StormLib, median of %d passes, each the best of %d alternating rounds "
        "(%.2f s per pair of figures)\n",
        kPasses, kRounds, minTime);
    std::printf(
        "sizes in bytes, speeds in MB/s of uncompressed data; ratios ours/StormLib for sizes "
        "(below 1: smaller), StormLib's time/ours for speeds (above 1: faster)\n");
    std::printf("bounds: implode >= %.2f (!IMP), explode >= %.2f (!EXP), packed <= recorded (!SIZE)\n",
                kImplodeBound, kExplodeBound);

    struct Spec {
        unsigned dsize, type;
        const std::string* name;
        const Bytes* data;
    };
    std::vector<Spec> specs;
    std::vector<Row> rows;
    for (unsigned dsize : dicts) {
        for (unsigned type : {ssi::codec::kBinary, ssi::codec::kAscii}) {
            for (const auto& [name, data] : corpus) {
                if (data.size() < 2) continue;
                specs.push_back(Spec{dsize, type, &name, &data});
                rows.push_back(checkRow(name, data, type, dsize));
            }
        }
    }
    for (int pass = 0; pass < kPasses; ++pass) {
        std::fprintf(stderr, "bench_codec: pass %d of %d\n", pass + 1, kPasses);
        for (std::size_t k = 0; k < specs.size(); ++k) {
            if (rows[k].ok) timeRow(rows[k], *specs[k].data, specs[k].type, specs[k].dsize, minTime);
        }
    }

    Misses misses;
    bool allOk = true;
    for (std::size_t k = 0; k < specs.size(); ++k) {
        if (k == 0 || specs[k].dsize != specs[k - 1].dsize) {
            std::printf("\ndictionary %u\n", specs[k].dsize);
            printHeader();
        }
        printRow(rows[k], misses);
        allOk = allOk && rows[k].ok;
    }
    std::printf(
        "\n%d rows: implode below %.2f in %d, explode below %.2f in %d, packed above recorded in %d\n",
        misses.rows, kImplodeBound, misses.implode, kExplodeBound, misses.explode, misses.size);
    if (!allOk) std::printf("MISMATCH: a stream did not decode to its input (see rows above)\n");
    return allOk ? 0 : 1;
}
