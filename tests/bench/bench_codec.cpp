// Codec benchmark: our implode/explode against StormLib's, side by side on the
// same corpus in one run. Prints, per corpus file and literal mode (4 KiB
// dictionary), compressed sizes and throughputs with the ratio ours/theirs.
//
//   bench_codec [--dict 1024|2048|4096] [--min-time SECONDS] [FILE...]
//
// Extra FILE arguments are added to the built-in corpus. Throughput is input
// megabytes (10^6 bytes) per second, best of repeated runs lasting at least
// --min-time each. Explode is timed on StormLib's stream (the classic
// encoder's output) for both decoders, so both decode the same bits.
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

struct Timing {
    double mbPerSecond = 0;
    double seconds = 0;  // of one run
    std::size_t outSize = 0;
    bool ok = true;
};

// Runs `once` repeatedly: rounds of at least minTime seconds, best round wins.
template <typename F>
Timing measure(std::size_t inputBytes, double minTime, F once) {
    Timing t;
    double best = 1e30;
    for (int round = 0; round < 3; ++round) {
        int runs = 0;
        const auto start = Clock::now();
        double elapsed = 0;
        do {
            once(t);
            ++runs;
            elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        } while (elapsed < minTime / 3);
        best = std::min(best, elapsed / runs);
    }
    t.seconds = best;
    t.mbPerSecond = static_cast<double>(inputBytes) / 1e6 / best;
    return t;
}

Timing timeImplode(ImplodeFn fn, std::size_t workSize, const Bytes& data, unsigned type, unsigned dsize,
                   double minTime, Bytes& stream) {
    auto work = std::make_unique<char[]>(workSize);
    stream.assign(data.size() * 2 + 1024, 0);
    return measure(data.size(), minTime, [&](Timing& t) {
        Io io{data.data(), data.size(), 0, stream.data(), stream.size(), 0};
        unsigned ty = type, ds = dsize;
        t.ok = fn(readIo, writeIo, work.get(), &io, &ty, &ds) == 0 && t.ok;
        t.outSize = io.written;
    });
}

Timing timeExplode(ExplodeFn fn, std::size_t workSize, const Bytes& stream, const Bytes& expected,
                   double minTime) {
    auto work = std::make_unique<char[]>(workSize);
    Bytes out(expected.size() + 1024);
    Timing timing = measure(expected.size(), minTime, [&](Timing& t) {
        Io io{stream.data(), stream.size(), 0, out.data(), out.size(), 0};
        t.ok = fn(readIo, writeIo, work.get(), &io) == 0 && t.ok;
        t.outSize = io.written;
    });
    timing.ok = timing.ok && timing.outSize == expected.size() &&
                std::equal(expected.begin(), expected.end(), out.begin());
    return timing;
}

struct Row {
    std::string name;
    std::size_t size = 0;
    std::size_t oursPacked = 0, theirsPacked = 0;
    double oursImplodeSec = 0, theirsImplodeSec = 0;
    double oursExplodeSec = 0, theirsExplodeSec = 0;
    bool ok = true;
};

void printRow(const Row& r) {
    auto mbs = [&](double sec) { return sec > 0 ? static_cast<double>(r.size) / 1e6 / sec : 0.0; };
    const double oi = mbs(r.oursImplodeSec), ti = mbs(r.theirsImplodeSec);
    const double oe = mbs(r.oursExplodeSec), te = mbs(r.theirsExplodeSec);
    std::printf("%-22s %9zu | %9zu %9zu %6.4f | %7.1f %7.1f %5.2f | %7.1f %7.1f %5.2f%s\n", r.name.c_str(),
                r.size, r.oursPacked, r.theirsPacked,
                static_cast<double>(r.oursPacked) / static_cast<double>(r.theirsPacked), oi, ti, oi / ti, oe,
                te, oe / te, r.ok ? "" : "  MISMATCH");
}

}  // namespace

int main(int argc, char** argv) {
    unsigned dsize = 4096;
    double minTime = 0.3;
    std::vector<std::pair<std::string, Bytes>> corpus;
    for (const char* name : {"text", "executable", "jpeg", "mixed", "zeros-1.5M", "random-1.1M"}) {
        corpus.emplace_back(name, ssi::codec::test::corpusFile(name));
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dict" && i + 1 < argc) {
            dsize = static_cast<unsigned>(std::atoi(argv[++i]));
        } else if (arg == "--min-time" && i + 1 < argc) {
            minTime = std::atof(argv[++i]);
        } else {
            corpus.emplace_back(arg.substr(arg.find_last_of('/') + 1), ssi::codec::test::readFile(arg));
        }
    }
    if (dsize != 1024 && dsize != 2048 && dsize != 4096) {
        std::fprintf(stderr, "bench_codec: --dict must be 1024, 2048 or 4096\n");
        return 2;
    }

    std::printf("implode codec: ours vs StormLib, dictionary %u, best of 3 rounds >= %.2fs each\n", dsize,
                minTime);
    std::printf("sizes in bytes, speeds in MB/s of uncompressed data, ratio = ours/StormLib\n\n");
    std::printf("%-22s %9s | %9s %9s %6s | %7s %7s %5s | %7s %7s %5s\n", "file (mode)", "size", "packed",
                "StormLib", "ratio", "implode", "Storm", "ratio", "explode", "Storm", "ratio");
    std::printf("%s\n", std::string(22 + 10 + 30 + 24 + 24 + 6, '-').c_str());

    bool allOk = true;
    for (unsigned type : {ssi::codec::kBinary, ssi::codec::kAscii}) {
        Row total;
        total.name = type == ssi::codec::kBinary ? "TOTAL (binary)" : "TOTAL (ascii)";
        for (const auto& [name, data] : corpus) {
            if (data.size() < 2) continue;
            Row r;
            r.name = name + (type == ssi::codec::kBinary ? " (bin)" : " (asc)");
            r.size = data.size();
            Bytes ours, theirs;
            const Timing oi = timeImplode(ssi::codec::implode, ssi::codec::kImplodeWorkSize, data, type,
                                          dsize, minTime, ours);
            const Timing ti = timeImplode(::implode, ssi::codec::peer::kStormImplodeWork, data, type, dsize,
                                          minTime, theirs);
            ours.resize(oi.outSize);
            theirs.resize(ti.outSize);
            const Timing oe =
                timeExplode(ssi::codec::explode, ssi::codec::kExplodeWorkSize, theirs, data, minTime);
            const Timing te =
                timeExplode(::explode, ssi::codec::peer::kStormExplodeWork, theirs, data, minTime);
            Bytes check;
            const bool roundTrip =
                ssi::codec::peer::stormExplode(ours.data(), ours.size(), check) == 0 && check == data;
            r.oursPacked = ours.size();
            r.theirsPacked = theirs.size();
            r.oursImplodeSec = oi.seconds;
            r.theirsImplodeSec = ti.seconds;
            r.oursExplodeSec = oe.seconds;
            r.theirsExplodeSec = te.seconds;
            r.ok = oi.ok && ti.ok && oe.ok && te.ok && roundTrip;
            printRow(r);
            std::fflush(stdout);
            total.size += r.size;
            total.oursPacked += r.oursPacked;
            total.theirsPacked += r.theirsPacked;
            total.oursImplodeSec += r.oursImplodeSec;
            total.theirsImplodeSec += r.theirsImplodeSec;
            total.oursExplodeSec += r.oursExplodeSec;
            total.theirsExplodeSec += r.theirsExplodeSec;
            total.ok = total.ok && r.ok;
        }
        printRow(total);
        std::printf("\n");
        allOk = allOk && total.ok;
    }
    if (!allOk) std::printf("MISMATCH: a stream did not decode to its input (see rows above)\n");
    return allOk ? 0 : 1;
}
