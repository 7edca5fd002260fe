#include "platform/fake/fake_os.h"

#include <algorithm>
#include <stdexcept>

#include "core/names.h"
#include "platform/fake/fake_profile.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_system.h"
#include "platform/fake/file_store.h"
#include "platform/fake/host_folder_files.h"
#include "platform/fake/memory_files.h"

namespace ssi {

FakeOs::FakeOs(FakeStorage storage) {
    if (storage == FakeStorage::Memory) {
        auto memory = std::make_unique<MemoryFiles>(*this);
        memory_ = memory.get();
        files_ = std::move(memory);
    } else {
        auto host = std::make_unique<HostFolderFiles>(*this);
        host_ = host.get();
        root_ = host->root();
        files_ = std::move(host);
    }
    registry_ = std::make_unique<FakeRegistry>(*this);
    profile_ = std::make_unique<FakeProfile>(*this);
    system_ = std::make_unique<FakeSystem>(*this);
    shell_ = std::make_unique<FakeShell>(*this);
    com_ = std::make_unique<FakeCom>(*this);
    ui_ = std::make_unique<FakeUi>(*this);
    makeDirs(systemDir);
    makeDirs(windowsDir);
    makeDirs(tempDir);
    makeDirs(extractFilePath(module));
    writeFile(module, "MZ fake installer");
}

FakeOs::~FakeOs() {
    // Forms outliving the double must not call back into it.
    std::function<void(Control&)> detach = [&](Control& c) {
        c.attachPeer(nullptr);
        for (Control* child : c.children()) detach(*child);
    };
    for (Form* form : realized) detach(*form);
    for (FakeHostedControl* control : hostedControls) control->os = nullptr;
}

FileSystem& FakeOs::files() {
    return *files_;
}
Registry& FakeOs::registry() {
    return *registry_;
}
Profile& FakeOs::profile() {
    return *profile_;
}
System& FakeOs::system() {
    return *system_;
}
Shell& FakeOs::shell() {
    return *shell_;
}
Com& FakeOs::com() {
    return *com_;
}
Ui& FakeOs::ui() {
    return *ui_;
}

// ---- failure injection -------------------------------------------------------------------

Result FakeOs::injected(Op op, const std::string& subject) {
    if (Result e = inject ? inject(op, subject) : 0) return e;
    if (counted && !counted(op)) return 0;
    if (++calls != failCall || failCall == 0) return 0;
    const Result error = failWith ? failWith(op, subject) : oserr::kGenFailure;
    hasFailed = true;
    failed = CountedCall{op, subject, error};
    return error;
}

void FakeOs::failOn(Op op, const std::string& subject, Result code) {
    auto previous = inject;
    const std::string wanted = lowerCase(subject);
    inject = [=](Op o, const std::string& s) -> Result {
        if (o == op && (wanted.empty() || lowerCase(s) == wanted)) return code;
        return previous ? previous(o, s) : 0;
    };
}

// ---- files -------------------------------------------------------------------------------

std::string FakeOs::hostPath(const std::string& windowsPath) const {
    if (!host_) throw std::logic_error("the double's files are in memory: no host path for " + windowsPath);
    return host_->hostPath(windowsPath);
}

void FakeOs::writeFile(const std::string& windowsPath, const std::string& content) {
    files_->writeFile(windowsPath, content);
}

std::string FakeOs::readFile(const std::string& windowsPath) const {
    return files_->readFile(windowsPath);
}

bool FakeOs::exists(const std::string& windowsPath) const {
    return files_->exists(windowsPath);
}

void FakeOs::makeDirs(const std::string& windowsPath) {
    files_->makeDirs(windowsPath);
}

void FakeOs::makeLink(const std::string& windowsPath, const std::string& hostTarget) {
    if (!host_) throw std::logic_error("the double's files are in memory: no link at " + windowsPath);
    host_->makeLink(windowsPath, hostTarget);
}

void FakeOs::lock(const std::string& windowsPath) {
    files_->hold(windowsPath);
}

void FakeOs::unlock(const std::string& windowsPath) {
    files_->release(windowsPath);
}

bool FakeOs::othersMayWrite(const std::string& windowsPath) const {
    return files_->othersMayWrite(windowsPath);
}

bool FakeOs::replaceWithLink(const std::string& windowsPath, const std::string& hostTarget) {
    if (!host_) throw std::logic_error("the double's files are in memory: no link at " + windowsPath);
    return host_->replaceWithLink(windowsPath, hostTarget);
}

// ---- registry ----------------------------------------------------------------------------

bool FakeOs::hasKey(Hive hive, const std::string& path) const {
    return registry_->findKey(hive, path, false) != nullptr;
}

bool FakeOs::hasValue(Hive hive, const std::string& path, const std::string& name) const {
    RegNode* node = registry_->findKey(hive, path, false);
    return node && node->values.count(lowerCase(name));
}

std::string FakeOs::stringValue(Hive hive, const std::string& path, const std::string& name) const {
    return registry_->stringValue(hive, path, name);
}

void FakeOs::setRegValue(Hive hive, const std::string& path, const std::string& name, const RegValue& value) {
    registry_->findKey(hive, path, true)->values[lowerCase(name)] = {name, value};
}

void FakeOs::setRegString(Hive hive, const std::string& path, const std::string& name, const std::string& value) {
    RegValue v;
    v.type = regtype::kString;
    v.data.assign(value.begin(), value.end());
    v.data.push_back(0);
    setRegValue(hive, path, name, v);
}

// ---- user interface ----------------------------------------------------------------------

void FakeOs::post(std::function<void()> handler, InputEvent event) {
    ui_->post(std::move(handler), event);
}

void FakeOs::userClose(Form& form) {
    if (form.onCloseQuery) {
        std::function<bool()> query = form.onCloseQuery;
        if (!query()) return;
    }
    form.setVisible(false);
}

void FakeOs::userResize(Form& form, int width, int height) {
    if (!form.handle || form.border() != BorderStyle::Sizeable) return;
    ui_->report(form, form.left(), form.top(), std::max(width, form.minWidth()), std::max(height, form.minHeight()));
}

}  // namespace ssi
