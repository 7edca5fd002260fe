// The test double's files in a private temporary folder of the host: the
// file store (file_store.h, where the Windows rules are) over real files, so
// that a test can open what the code under test wrote (profile files are real
// INI files) and can make links, which Windows reports as reparse points.
// "C:\\WINDOWS\\x" is <root>/C/WINDOWS/x; a relative path lies below <root>/rel.
#pragma once

#include <string>

#include "platform/fake/file_store.h"

namespace ssi {

class FakeOs;
class HostFolderBacking;

class HostFolderFiles : public FileStore {
public:
    // Makes the temporary folder; removes it with everything in it when destroyed.
    explicit HostFolderFiles(FakeOs& os);
    ~HostFolderFiles() override;

    // The host path a Windows path maps to (existing names matched in any case).
    std::string hostPath(const std::string& windowsPath) const;
    // A link at `windowsPath` (a reparse point to Windows) to a host path.
    void makeLink(const std::string& windowsPath, const std::string& hostTarget);
    // Another program renames a folder away and puts a link to a host path
    // in its place, as a junction swapped in: false (nothing changed) while
    // the folder is held open without delete sharing, as Windows refuses the
    // rename then.
    [[nodiscard]] bool replaceWithLink(const std::string& windowsPath, const std::string& hostTarget);
    const std::string& root() const;

private:
    HostFolderBacking& host_;
};

}  // namespace ssi
