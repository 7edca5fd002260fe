// The test double's registry: an in-memory tree of keys and values, names
// matched without regard to letter case and kept as created. The classes root
// shows the machine's classes (HKLM\Software\Classes), as on Windows.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/os.h"

namespace ssi {

class FakeOs;

struct RegNode {
    std::string name;                                                // as created
    std::map<std::string, RegNode> keys;                             // by lower-case name
    std::map<std::string, std::pair<std::string, RegValue>> values;  // by lower-case name: (name, value)
};

class FakeRegistry : public Registry {
public:
    explicit FakeRegistry(FakeOs& os) : os_(os) {}

    [[nodiscard]] Result openKey(Hive hive, const std::string& path, RegAccess access,
                   std::unique_ptr<RegistryKey>& out) override;
    [[nodiscard]] Result createKey(Hive hive, const std::string& path, RegAccess access,
                     std::unique_ptr<RegistryKey>& out) override;
    [[nodiscard]] Result deleteKey(Hive hive, const std::string& path) override;

    // The key at `path` (backslashes, leading ones ignored), made with its
    // parents when `create`; nullptr when missing.
    RegNode* findKey(Hive hive, const std::string& path, bool create);
    // A string value's text up to its terminating zero ("" when missing).
    std::string stringValue(Hive hive, const std::string& path, const std::string& name);

private:
    FakeOs& os_;
    std::map<Hive, RegNode> hives_;
};

}  // namespace ssi
