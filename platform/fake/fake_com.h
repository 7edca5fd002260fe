// The test double's COM: creatable classes by class id, scripted dispatch
// objects, and the scripted player control that a panel embeds.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/os.h"

namespace ssi {

class FakeOs;

// A scripted COM object: members answer through handlers; properties that
// have no handler are stored. Every call is recorded as "call NAME", "get
// NAME" or "put NAME VALUE".
class FakeDispatch : public DispatchObject {
public:
    using Method = std::function<Result(const std::vector<Variant>&, Variant&)>;
    std::map<std::string, Method> methods;     // by lower-case name
    std::map<std::string, Variant> properties;  // by lower-case name; absent: unknown member
    std::vector<std::string>* journal = nullptr;

    [[nodiscard]] Result call(const std::string& member, const std::vector<Variant>& arguments, Variant& result) override;
    [[nodiscard]] Result get(const std::string& member, Variant& out) override;
    [[nodiscard]] Result put(const std::string& member, const Variant& value) override;
};

// A scripted embedded control: its members answer as a FakeDispatch's do
// (`members`), and its life goes into the double's `hostLog`, one line per
// event, as the player stand-in logs: "create", "call NAME ARGS...",
// "get NAME", "put NAME VALUE", "verb N", "focus", "release". Member calls
// consult the injection (Op::ComCall, ComGet, ComPut) with the member's name.
class FakeHostedControl : public HostedControl {
public:
    FakeHostedControl() = default;
    ~FakeHostedControl() override;

    FakeDispatch members;
    // Where and how it was created.
    std::string classId;
    Control* host = nullptr;
    int width = 0, height = 0;

    [[nodiscard]] Result call(const std::string& member, const std::vector<Variant>& arguments, Variant& result) override;
    [[nodiscard]] Result get(const std::string& member, Variant& out) override;
    [[nodiscard]] Result put(const std::string& member, const Variant& value) override;
    [[nodiscard]] Result doVerb(int verb) override;
    [[nodiscard]] Result focus() override;

    // Set by the double when it hands the control out; cleared when the double goes first.
    FakeOs* os = nullptr;

private:
    void log(const std::string& line);
};

class FakeCom : public Com {
public:
    explicit FakeCom(FakeOs& os) : os_(os) {}
    [[nodiscard]] Result initialize() override;
    [[nodiscard]] Result createObject(const std::string& classId, std::unique_ptr<DispatchObject>& out) override;

private:
    FakeOs& os_;
};

}  // namespace ssi
