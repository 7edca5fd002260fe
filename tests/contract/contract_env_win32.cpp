// The contract suite's environment on the real seam, run under Wine: real
// folders under the temporary folder, a second process holding files open,
// and the version fixture built beside the test program.
//
// `wine_contract_test --hold FILE READY RELEASE` is that second process (see
// tests/wine/wine_test_support.h).
#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/win32_os.h"
#include "tests/contract/contract_env.h"
#include "tests/wine/wine_test_support.h"

namespace ssi::contract {
namespace {

class ProcessHold : public HeldFile {
public:
    explicit ProcessHold(const std::string& path) : hold_(path) {}
    bool held() const override { return hold_.held(); }

private:
    wintest::HeldFile hold_;
};

class Win32Env : public ContractEnv {
public:
    Os& os() override { return os_; }
    std::string freshDir(const std::string& name) override { return wintest::freshDir(name); }
    std::unique_ptr<HeldFile> holdOpen(const std::string& path) override {
        return std::make_unique<ProcessHold>(path);
    }
    bool othersMayWrite(const std::string& path) override {
        // Share modes are checked handle by handle: this process will do.
        win32::FileHandle h(::CreateFileA(path.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return bool(h);
    }
    std::string versionedLibrary() override { return wintest::exeDir() + "versioned.dll"; }
    std::string versionedLibraryExport() override { return "fixtureAnswer"; }
    void setEnvironment(const std::string& name, const std::string& value) override {
        ::SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    bool readOnlyRefusesWrites() override {
        // Asked of the system itself, once.
        static const bool refused = [] {
            const std::string path = wintest::freshDir("read-only-probe") + "probe.txt";
            wintest::writeFile(path, "x");
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
            win32::FileHandle h(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
            const bool writable = bool(h);
            h.reset();
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(path.c_str());
            return !writable;
        }();
        return refused;
    }

private:
    win32::Win32Os os_;
};

}  // namespace

ContractEnv& env() {
    static Win32Env instance;
    return instance;
}

}  // namespace ssi::contract

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--hold") == 0)
        return ssi::wintest::holdFile(argv[2], argv[3], argv[4]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
