// The contract suite's environment over the test double: folders in its
// mapped drive, its lock standing for another program holding a file, and a
// library with a version resource made up for the occasion. Built twice: over
// the host folder, and with SSI_CONTRACT_FILES_IN_MEMORY over the files in
// memory that the fuzz targets use.
#include "platform/fake/fake_os.h"
#include "tests/contract/contract_env.h"

namespace ssi::contract {
namespace {

int fixtureAnswer() {
    return 42;
}

class Lock : public HeldFile {
public:
    Lock(FakeOs& os, std::string path) : os_(os), path_(std::move(path)) { os_.lock(path_); }
    ~Lock() override { os_.unlock(path_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    bool held() const override { return true; }

private:
    FakeOs& os_;
    std::string path_;
};

constexpr char kVersioned[] = "C:\\FIXTURES\\versioned.dll";

#ifdef SSI_CONTRACT_FILES_IN_MEMORY
constexpr FakeStorage kStorage = FakeStorage::Memory;
#else
constexpr FakeStorage kStorage = FakeStorage::HostFolder;
#endif

class FakeEnv : public ContractEnv {
public:
    FakeEnv() {
        os_.writeFile(kVersioned, "MZ a library with a version resource");
        os_.versions[kVersioned] = FileVersion{(7u << 16) | 0u, (19u << 16) | 0u};
        os_.libraryExports["versioned.dll"]["fixtureAnswer"] = reinterpret_cast<void*>(&fixtureAnswer);
    }
    Os& os() override { return os_; }
    std::string freshDir(const std::string& name) override {
        const std::string dir = "C:\\TEMP\\ssi-" + name + "\\";
        os_.makeDirs(dir);
        return dir;
    }
    std::unique_ptr<HeldFile> holdOpen(const std::string& path) override {
        return std::make_unique<Lock>(os_, path);
    }
    bool othersMayWrite(const std::string& path) override { return os_.othersMayWrite(path); }
    std::string versionedLibrary() override { return kVersioned; }
    std::string versionedLibraryExport() override { return "fixtureAnswer"; }
    void setEnvironment(const std::string& name, const std::string& value) override {
        if (value.empty())
            os_.env.erase(name);
        else
            os_.env[name] = value;
    }
    bool readOnlyRefusesWrites() override { return true; }

private:
    FakeOs os_{kStorage};
};

}  // namespace

ContractEnv& env() {
    static FakeEnv instance;
    return instance;
}

}  // namespace ssi::contract
