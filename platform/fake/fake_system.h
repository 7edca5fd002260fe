// The test double's system facts: folders, environment, Windows version,
// command line and strings as the FakeOs fields say; libraries that load
// when their file exists, with the exports a test gives them; sleeps that
// only count.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"

namespace ssi {

class FakeOs;

class FakeSystem : public System {
public:
    explicit FakeSystem(FakeOs& os) : os_(os) {}
    std::string environment(const std::string& name) override;
    std::string systemDirectory() override;
    std::string windowsDirectory() override;
    std::string tempDirectory() override;
    std::string modulePath() override;
    std::vector<std::string> commandLineParameters() override;
    [[nodiscard]] Result windowsVersion(WindowsVersion& out) override;
    [[nodiscard]] Result setScreenSaveActive(bool active) override;
    [[nodiscard]] Result loadLibrary(const std::string& path, std::unique_ptr<Library>& out) override;
    std::string loadString(uint32_t id) override;
    std::string errorText(Result code) override;
    void sleep(uint32_t milliseconds) override;
    // FakeOs::elevated; 120 on 95, 98 and ME.
    [[nodiscard]] Result elevation(bool& elevated) override;

private:
    FakeOs& os_;
};

}  // namespace ssi
