// The test double's profile files: real INI files among the double's files
// (a name without a folder lies in the Windows folder), so that a test reads
// what the code under test wrote. Sections and keys are matched without
// regard to case, the first occurrence wins, comments and blank lines stay.
#pragma once

#include <string>
#include <vector>

#include "platform/os.h"

namespace ssi {

class FakeOs;

class FakeProfile : public Profile {
public:
    explicit FakeProfile(FakeOs& os) : os_(os) {}
    [[nodiscard]] Result writeString(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& value) override;
    [[nodiscard]] Result readString(const std::string& file, const std::string& section, const std::string& key,
                      std::string& out) override;

private:
    std::string resolve(const std::string& file) const;
    std::vector<std::string> readLines(const std::string& path) const;
    FakeOs& os_;
};

}  // namespace ssi
