#include "platform/fake/fake_com.h"

#include <algorithm>

#include "core/names.h"
#include "platform/fake/fake_os.h"

namespace ssi {

namespace {

std::string shown(const Variant& v) {
    switch (v.type) {
        case Variant::Type::String: return v.text;
        case Variant::Type::Bool: return v.boolean ? "true" : "false";
        case Variant::Type::Int: return std::to_string(v.integer);
        case Variant::Type::Empty: break;
    }
    return "(empty)";
}

}  // namespace

// ---- FakeCom ------------------------------------------------------------------------------

Result FakeCom::initialize() {
    if (Result e = os_.injected(Op::ComInitialize, "")) return e;
    ++os_.comInitializations;
    return 0;
}

Result FakeCom::createObject(const std::string& classId, std::unique_ptr<DispatchObject>& out) {
    out.reset();
    if (Result e = os_.injected(Op::ComCreate, classId)) return e;
    for (const auto& c : os_.classes)
        if (lowerCase(c.first) == lowerCase(classId) && c.second) {
            out = c.second();
            if (!out) return oserr::kGenFailure;
            ++os_.objectsCreated;
            return 0;
        }
    return oserr::kModNotFound;
}

// ---- FakeDispatch ---------------------------------------------------------------------------

Result FakeDispatch::call(const std::string& member, const std::vector<Variant>& arguments, Variant& result) {
    result = Variant{};
    if (journal) journal->push_back("call " + member);
    auto it = methods.find(lowerCase(member));
    if (it == methods.end()) return oserr::kProcNotFound;
    return it->second(arguments, result);
}

Result FakeDispatch::get(const std::string& member, Variant& out) {
    out = Variant{};
    if (journal) journal->push_back("get " + member);
    auto it = properties.find(lowerCase(member));
    if (it == properties.end()) return oserr::kProcNotFound;
    out = it->second;
    return 0;
}

Result FakeDispatch::put(const std::string& member, const Variant& value) {
    if (journal) {
        std::string text = value.type == Variant::Type::String ? value.text
                           : value.type == Variant::Type::Bool ? (value.boolean ? "true" : "false")
                                                                : std::to_string(value.integer);
        journal->push_back("put " + member + " " + text);
    }
    auto it = properties.find(lowerCase(member));
    if (it == properties.end()) return oserr::kProcNotFound;
    it->second = value;
    return 0;
}

// ---- FakeHostedControl ------------------------------------------------------------------------

FakeHostedControl::~FakeHostedControl() {
    if (!os) return;
    log("release");
    auto& living = os->hostedControls;
    living.erase(std::remove(living.begin(), living.end(), this), living.end());
}

void FakeHostedControl::log(const std::string& line) {
    if (os) os->hostLog.push_back(line);
}

Result FakeHostedControl::call(const std::string& member, const std::vector<Variant>& arguments, Variant& result) {
    result = Variant{};
    std::string line = "call " + member;
    for (const Variant& a : arguments) line += " " + shown(a);
    log(line);
    if (os)
        if (Result e = os->injected(Op::ComCall, member)) return e;
    return members.call(member, arguments, result);
}

Result FakeHostedControl::get(const std::string& member, Variant& out) {
    out = Variant{};
    log("get " + member);
    if (os)
        if (Result e = os->injected(Op::ComGet, member)) return e;
    return members.get(member, out);
}

Result FakeHostedControl::put(const std::string& member, const Variant& value) {
    log("put " + member + " " + shown(value));
    if (os)
        if (Result e = os->injected(Op::ComPut, member)) return e;
    return members.put(member, value);
}

Result FakeHostedControl::doVerb(int verb) {
    log("verb " + std::to_string(verb));
    return os ? os->injected(Op::DoVerb, std::to_string(verb)) : 0;
}

Result FakeHostedControl::focus() {
    log("focus");
    if (!os) return 0;
    if (Result e = os->injected(Op::FocusControl, classId)) return e;
    os->focusHistory.push_back((host ? host->name() : std::string()) + "/control");
    return 0;
}

}  // namespace ssi
