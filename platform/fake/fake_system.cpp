#include "platform/fake/fake_system.h"

#include <map>

#include "core/names.h"
#include "core/strings.h"
#include "platform/fake/fake_os.h"

namespace ssi {

namespace {

class FakeLibrary : public Library {
public:
    explicit FakeLibrary(std::map<std::string, void*> exports) : exports_(std::move(exports)) {}
    void* symbol(const char* name) override {
        auto it = exports_.find(name);
        return it == exports_.end() ? nullptr : it->second;
    }

private:
    std::map<std::string, void*> exports_;
};

}  // namespace

std::string FakeSystem::environment(const std::string& name) {
    for (const auto& e : os_.env)
        if (lowerCase(e.first) == lowerCase(name)) return e.second;
    return std::string();
}

std::string FakeSystem::systemDirectory() {
    return os_.systemDir;
}

std::string FakeSystem::windowsDirectory() {
    return os_.windowsDir;
}

std::string FakeSystem::tempDirectory() {
    return os_.tempDir;
}

std::string FakeSystem::modulePath() {
    return os_.module;
}

std::vector<std::string> FakeSystem::commandLineParameters() {
    return os_.parameters;
}

Result FakeSystem::windowsVersion(WindowsVersion& out) {
    out = WindowsVersion{};
    if (Result e = os_.injected(Op::WindowsVersion, "")) return e;
    out = os_.version;
    return 0;
}

Result FakeSystem::setScreenSaveActive(bool active) {
    ++os_.screenSaveActiveCalls;
    if (Result e = os_.injected(Op::SetScreenSaveActive, "")) return e;
    os_.screenSaveActive = active;
    return 0;
}

Result FakeSystem::loadLibrary(const std::string& path, std::unique_ptr<Library>& out) {
    out.reset();
    os_.libraryPaths.push_back(path);
    if (Result e = os_.injected(Op::LoadLibrary, path)) return e;
    std::string full = path;
    if (path.find('\\') == std::string::npos) full = withTrailingBackslash(os_.systemDir) + path;  // the system search
    if (!os_.exists(full)) return oserr::kModNotFound;
    ++os_.librariesLoaded;
    auto it = os_.libraryExports.find(lowerCase(extractFileName(full)));
    out = std::make_unique<FakeLibrary>(it == os_.libraryExports.end() ? std::map<std::string, void*>{} : it->second);
    return 0;
}

std::string FakeSystem::loadString(uint32_t id) {
    return builtinString(id);
}

std::string FakeSystem::errorText(Result code) {
    return "System error " + std::to_string(code) + ".";
}

void FakeSystem::sleep(uint32_t milliseconds) {
    os_.sleptMs += milliseconds;
    if (os_.onSleep) os_.onSleep(milliseconds);
}

Result FakeSystem::elevation(bool& elevated) {
    elevated = false;
    if (Result e = os_.injected(Op::Elevation, "")) return e;
    if (os_.version.platformId == platformid::kWindows) return oserr::kCallNotImplemented;
    elevated = os_.elevated;
    return 0;
}

}  // namespace ssi
