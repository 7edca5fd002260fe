// The contract suite: one set of tests written only against Os (and the
// file utilities built on it), compiled twice: natively against the test
// double and for Windows against the real seam, where it runs under Wine.
// The two must give the same answers, so the double cannot drift from Windows.
//
// Each build supplies the environment below (contract_env_fake.cpp,
// contract_env_win32.cpp): the seam and what a test needs around it that the
// seam itself does not offer.
#pragma once

#include <memory>
#include <string>

#include "platform/os.h"

namespace ssi::contract {

// Another process holding a file open while this object lives, as a running
// program holds its own files: read access, sharing reading only.
class HeldFile {
public:
    virtual ~HeldFile() = default;
    virtual bool held() const = 0;
};

class ContractEnv {
public:
    virtual ~ContractEnv() = default;
    virtual Os& os() = 0;
    // A fresh, empty folder in Windows form, with its trailing backslash.
    virtual std::string freshDir(const std::string& name) = 0;
    virtual std::unique_ptr<HeldFile> holdOpen(const std::string& path) = 0;
    // Whether another program could open the file for writing now, itself
    // sharing everything: what tells a file open with deny-write sharing
    // from one open for reading only.
    virtual bool othersMayWrite(const std::string& path) = 0;
    // A library whose version resource says 7.0.19.0, exporting `symbol`.
    virtual std::string versionedLibrary() = 0;
    virtual std::string versionedLibraryExport() = 0;
    // Sets a variable of this process's environment ("" removes it).
    virtual void setEnvironment(const std::string& name, const std::string& value) = 0;
    // Whether writing over a read-only file is refused. Windows refuses with
    // 5; Wine run as root lets it through.
    virtual bool readOnlyRefusesWrites() = 0;
};

// The environment of this build.
ContractEnv& env();

}  // namespace ssi::contract
