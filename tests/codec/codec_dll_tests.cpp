// impborl.dll as a classic-interface caller sees it: loaded from beside this
// program, entry points found by their exported names, work areas of the
// classic sizes, data round-tripped through the function pointers.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef unsigned int(__cdecl* ReadFn)(char*, unsigned int*, void*);
typedef void(__cdecl* WriteFn)(char*, unsigned int*, void*);
typedef unsigned int(__cdecl* ImplodeFn)(ReadFn, WriteFn, char*, void*, unsigned int*, unsigned int*);
typedef unsigned int(__cdecl* ExplodeFn)(ReadFn, WriteFn, char*, void*);
typedef unsigned long(__cdecl* Crc32Fn)(char*, unsigned int*, unsigned long*);

// Sizes callers of the classic library hand in.
constexpr std::size_t kClassicImplodeWork = 36312;
constexpr std::size_t kClassicExplodeWork = 12596;

using Bytes = std::vector<std::uint8_t>;

struct Io {
    const Bytes* in;
    std::size_t pos;
    Bytes out;
};

unsigned int __cdecl readIo(char* buf, unsigned int* size, void* param) {
    Io* io = static_cast<Io*>(param);
    std::size_t n = io->in->size() - io->pos;
    if (n > *size) n = *size;
    if (n != 0) std::memcpy(buf, io->in->data() + io->pos, n);
    io->pos += n;
    return static_cast<unsigned int>(n);
}

void __cdecl writeIo(char* buf, unsigned int* size, void* param) {
    Io* io = static_cast<Io*>(param);
    io->out.insert(io->out.end(), buf, buf + *size);
}

class ImpborlDll : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char path[MAX_PATH];
        const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string dir(path, n);
        dir.erase(dir.find_last_of("\\/") + 1);
        module_ = LoadLibraryA((dir + "impborl.dll").c_str());
        if (module_ != nullptr) {
            implode_ = reinterpret_cast<ImplodeFn>(GetProcAddress(module_, "_implode"));
            explode_ = reinterpret_cast<ExplodeFn>(GetProcAddress(module_, "_explode"));
            crc32_ = reinterpret_cast<Crc32Fn>(GetProcAddress(module_, "_crc32"));
        }
    }
    static void TearDownTestSuite() {
        if (module_ != nullptr) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr) << "impborl.dll not found beside the test program";
        ASSERT_NE(implode_, nullptr);
        ASSERT_NE(explode_, nullptr);
        ASSERT_NE(crc32_, nullptr);
    }

    [[nodiscard]] unsigned int pack(const Bytes& data, unsigned int type, unsigned int dsize, Bytes& out) {
        std::vector<char> work(kClassicImplodeWork);
        Io io{&data, 0, {}};
        const unsigned int code = implode_(readIo, writeIo, work.data(), &io, &type, &dsize);
        out = io.out;
        return code;
    }
    [[nodiscard]] unsigned int unpack(const Bytes& stream, Bytes& out) {
        // Exactly the classic size, between guard bytes that must survive.
        std::vector<char> area(kClassicExplodeWork + 64, '\x5A');
        Io io{&stream, 0, {}};
        const unsigned int code = explode_(readIo, writeIo, area.data() + 32, &io);
        for (int i = 0; i < 32; ++i) {
            EXPECT_EQ(area[i], '\x5A');
            EXPECT_EQ(area[32 + kClassicExplodeWork + i], '\x5A');
        }
        out = io.out;
        return code;
    }

    static HMODULE module_;
    static ImplodeFn implode_;
    static ExplodeFn explode_;
    static Crc32Fn crc32_;
};

HMODULE ImpborlDll::module_ = nullptr;
ImplodeFn ImpborlDll::implode_ = nullptr;
ExplodeFn ImpborlDll::explode_ = nullptr;
Crc32Fn ImpborlDll::crc32_ = nullptr;

Bytes sampleData() {
    Bytes data;
    const char* text = "The screen saver installer copies its files and registers the saver. ";
    std::uint32_t x = 2463534242u;
    for (int round = 0; round < 400; ++round) {
        data.insert(data.end(), text, text + std::strlen(text));
        for (int k = 0; k < round % 37; ++k) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            data.push_back(static_cast<std::uint8_t>(x));
        }
        data.insert(data.end(), static_cast<std::size_t>(round % 600), static_cast<std::uint8_t>(round));
    }
    return data;
}

TEST_F(ImpborlDll, RoundTripsThroughTheExportsInEveryModeAndDictionarySize) {
    const Bytes data = sampleData();
    for (unsigned int type : {0u, 1u}) {
        for (unsigned int dsize : {1024u, 2048u, 4096u}) {
            Bytes packed, unpacked;
            ASSERT_EQ(pack(data, type, dsize, packed), 0u);
            EXPECT_LT(packed.size(), data.size() / 2);
            EXPECT_EQ(unpack(packed, unpacked), 0u);
            EXPECT_TRUE(unpacked == data) << "type " << type << " dsize " << dsize;
        }
    }
}

TEST_F(ImpborlDll, ExplodesTheKnownVectorAndReportsErrors) {
    Bytes out;
    EXPECT_EQ(unpack({0x00, 0x04, 0x82, 0x24, 0x25, 0x8F, 0x80, 0x7F}, out), 0u);
    EXPECT_EQ(std::string(out.begin(), out.end()), "AIAIAIAIAIAIA");
    EXPECT_EQ(unpack({0x07, 0x04, 0x00, 0x00}, out), 2u);
    EXPECT_EQ(unpack({0x00, 0x09, 0x00, 0x00}, out), 1u);
    EXPECT_EQ(unpack({0x00, 0x04, 0x82, 0x24}, out), 3u);
    EXPECT_EQ(std::string(out.begin(), out.end()), "A");

    Bytes packed;
    EXPECT_EQ(pack(out, 0, 3000, packed), 1u);
    EXPECT_EQ(pack(out, 5, 1024, packed), 2u);
}

TEST_F(ImpborlDll, Crc32MatchesTheCheckValue) {
    char digits[] = "123456789";
    unsigned int size = 9;
    unsigned long seed = 0xFFFFFFFFul;
    EXPECT_EQ(~crc32_(digits, &size, &seed) & 0xFFFFFFFFul, 0xCBF43926ul);
    seed = 0;
    EXPECT_EQ(crc32_(digits, &size, &seed), 0x2DFD2D88ul);
}

}  // namespace
