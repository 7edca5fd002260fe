// One header, a source per service (named below).
// The Win32 services of the seam other than windows, declared together and
// implemented one service a file: win32_files.cpp, win32_registry.cpp
// (registry and profile files), win32_system.cpp (system facts, shell),
// win32_com.cpp. Each member is the Win32 call it names, with the error
// convention of os.h (0, or the system's number).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/win32/handles.h"

namespace ssi::win32 {

class Win32FileSystem : public FileSystem {
public:
    [[nodiscard]] Result attributes(const std::string& path, uint32_t& out) override;
    [[nodiscard]] Result setAttributes(const std::string& path, uint32_t attributes) override;
    [[nodiscard]] Result deleteFile(const std::string& path) override;
    [[nodiscard]] Result createDirectory(const std::string& path) override;
    [[nodiscard]] Result removeDirectory(const std::string& path) override;
    [[nodiscard]] Result copyFile(const std::string& from, const std::string& to, bool failIfExists) override;
    [[nodiscard]] Result moveFile(const std::string& from, const std::string& to) override;
    [[nodiscard]] Result findFiles(const std::string& pattern, std::vector<FindEntry>& out) override;
    [[nodiscard]] Result openFile(const std::string& path, FileAccess access,
                                  std::unique_ptr<File>& out) override;
    [[nodiscard]] Result fileVersion(const std::string& path, FileVersion& out) override;
    [[nodiscard]] Result shortPathName(const std::string& path, std::string& out) override;
    [[nodiscard]] Result createPrivateDirectory(const std::string& path) override;
    [[nodiscard]] Result openDirectory(const std::string& path, uint32_t& attributes,
                                       std::unique_ptr<HeldDirectory>& out) override;
    [[nodiscard]] Result freeSpace(const std::string& path, uint64_t& bytes) override;

private:
    Module version_;  // version.dll, loaded at first use
};

class Win32Registry : public Registry {
public:
    [[nodiscard]] Result openKey(Hive hive, const std::string& path, RegAccess access,
                                 std::unique_ptr<RegistryKey>& out) override;
    [[nodiscard]] Result createKey(Hive hive, const std::string& path, RegAccess access,
                                   std::unique_ptr<RegistryKey>& out) override;
    [[nodiscard]] Result deleteKey(Hive hive, const std::string& path) override;
};

class Win32Profile : public Profile {
public:
    [[nodiscard]] Result writeString(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) override;
    [[nodiscard]] Result readString(const std::string& file, const std::string& section,
                                    const std::string& key, std::string& out) override;
};

class Win32System : public System {
public:
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
    [[nodiscard]] Result elevation(bool& elevated) override;
};

class Win32Shell : public Shell {
public:
    [[nodiscard]] Result shellExecute(WindowHandle owner, const std::string& verb, const std::string& file,
                                      const std::string& parameters, const std::string& directory,
                                      int show) override;
    [[nodiscard]] Result startProcess(const std::string& program, const std::string& arguments,
                                      const std::string& directory, int show, bool wait,
                                      uint32_t& exitCode) override;
    [[nodiscard]] Result findWindow(const std::string& title, WindowHandle& out) override;
    [[nodiscard]] Result clickButton(WindowHandle window, int controlId) override;
};

class Win32Com : public Com {
public:
    ~Win32Com() override;
    [[nodiscard]] Result initialize() override;
    [[nodiscard]] Result createObject(const std::string& classId,
                                      std::unique_ptr<DispatchObject>& out) override;

private:
    bool initialized_ = false;  // this object's CoInitialize succeeded and is undone on destruction
};

// Windows 95, 98 or ME: no access control, no links, no tokens.
bool windows9x();

// The address of an advapi32.dll export, or nullptr: the security functions
// are resolved at run time, as Windows 95's advapi32.dll lacks most of them
// and the program must still start there.
void* advapiProc(const char* name);

// COM's answer as the system number nearest to it (see Com in os.h).
[[nodiscard]] Result comError(HRESULT hr);

// An object's members by name through its dispatch interface.
std::unique_ptr<DispatchObject> dispatchObject(ComPtr<IDispatch> object);

}  // namespace ssi::win32
