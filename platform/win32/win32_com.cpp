// COM objects reached through IDispatch, members by name: GetIDsOfNames,
// then Invoke. Arguments and results are converted between the seam's
// Variant and VARIANT (VT_I4, VT_BOOL, VT_BSTR); every BSTR, VARIANT and
// interface is owned by an RAII object.
#include <windows.h>
// after windows.h
#include <ole2.h>
#include <oleauto.h>

#include "platform/win32/win32_services.h"
#include "platform/win32/win32_util.h"

namespace ssi::win32 {

Result comError(HRESULT hr) {
    if (SUCCEEDED(hr)) return 0;
    // A failure is never 0, even when the code inside the HRESULT is.
    if (HRESULT_FACILITY(hr) == FACILITY_WIN32 && HRESULT_CODE(hr) != 0) return Result(HRESULT_CODE(hr));
    switch (hr) {
        case REGDB_E_CLASSNOTREG:
        case CO_E_DLLNOTFOUND:
        case CO_E_APPNOTFOUND:
            return oserr::kModNotFound;
        case DISP_E_UNKNOWNNAME:
        case DISP_E_MEMBERNOTFOUND:
            return oserr::kProcNotFound;
        case E_NOINTERFACE:
            return oserr::kNotSupported;
        case E_OUTOFMEMORY:
            return oserr::kOutOfMemory;
        default:
            return oserr::kGenFailure;
    }
}

namespace {

// Fills an empty VARIANT from a seam value.
[[nodiscard]] Result toVariant(const Variant& in, VARIANT& out) {
    switch (in.type) {
        case Variant::Type::Empty:
            out.vt = VT_EMPTY;
            return 0;
        case Variant::Type::Int:
            out.vt = VT_I4;
            out.lVal = in.integer;
            return 0;
        case Variant::Type::Bool:
            out.vt = VT_BOOL;
            out.boolVal = in.boolean ? VARIANT_TRUE : VARIANT_FALSE;
            return 0;
        case Variant::Type::String: {
            WideText wide = widen(in.text);
            BSTR text = ::SysAllocStringLen(wide.data(), UINT(wide.size()));
            if (!text) return oserr::kOutOfMemory;
            out.vt = VT_BSTR;
            out.bstrVal = text;  // owned by the VARIANT from here on
            return 0;
        }
    }
    return oserr::kInvalidParameter;
}

// A result as a seam value. Numbers of any width become Int, other scalars
// are taken as text; what has no such form (an object, an array) is Empty.
Variant fromVariant(VARIANT& in) {
    VARIANT* value = &in;
    while (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) value = value->pvarVal;
    switch (value->vt) {
        case VT_EMPTY:
        case VT_NULL:
            return Variant();
        case VT_BOOL:
            return Variant::ofBool(value->boolVal != VARIANT_FALSE);
        case VT_BSTR:
            return Variant::ofString(narrow(value->bstrVal, ::SysStringLen(value->bstrVal)));
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT: {
            VariantValue number;
            if (SUCCEEDED(::VariantChangeType(number.get(), value, 0, VT_I4)))
                return Variant::ofInt((*number).lVal);
            return Variant();
        }
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return Variant();
        default: {
            VariantValue text;
            if (!(value->vt & VT_ARRAY) && SUCCEEDED(::VariantChangeType(text.get(), value, 0, VT_BSTR)))
                return Variant::ofString(narrow((*text).bstrVal, ::SysStringLen((*text).bstrVal)));
            return Variant();
        }
    }
}

// The EXCEPINFO an Invoke may fill: its strings are freed with it.
struct Exception {
    EXCEPINFO info{};
    ~Exception() {
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrHelpFile);
    }
};

class Win32Dispatch : public DispatchObject {
public:
    explicit Win32Dispatch(ComPtr<IDispatch> object) : object_(std::move(object)) {}

    [[nodiscard]] Result call(const std::string& member, const std::vector<Variant>& arguments,
                              Variant& result) override {
        // As scripting clients do: a member called with arguments may be a
        // method or a property with parameters (a collection's Item).
        return invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments, false, &result);
    }
    [[nodiscard]] Result get(const std::string& member, Variant& out) override {
        return invoke(member, DISPATCH_PROPERTYGET, {}, false, &out);
    }
    [[nodiscard]] Result put(const std::string& member, const Variant& value) override {
        return invoke(member, DISPATCH_PROPERTYPUT, {value}, true, nullptr);
    }

private:
    [[nodiscard]] Result invoke(const std::string& member, WORD flags, const std::vector<Variant>& arguments,
                                bool propertyPut, Variant* result) {
        if (result) *result = Variant();
        WideText name = widen(member);
        LPOLESTR names[1] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) return comError(hr);

        // DISPPARAMS takes the arguments last to first.
        std::vector<VariantValue> values(arguments.size());
        std::vector<VARIANT> args(arguments.size());
        for (size_t i = 0; i < arguments.size(); ++i) {
            if (Result e = toVariant(arguments[i], *values[i].get())) return e;
            args[arguments.size() - 1 - i] = *values[i];
        }
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params{};
        params.rgvarg = args.empty() ? nullptr : args.data();
        params.cArgs = UINT(args.size());
        if (propertyPut) {
            params.rgdispidNamedArgs = &putId;
            params.cNamedArgs = 1;
        }
        VariantValue answer;
        Exception exception;
        UINT badArgument = 0;
        hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                             result ? answer.get() : nullptr, &exception.info, &badArgument);
        if (hr == DISP_E_EXCEPTION && exception.info.scode) hr = exception.info.scode;
        if (FAILED(hr)) return comError(hr);
        if (result) *result = fromVariant(*answer.get());
        return 0;
    }

    ComPtr<IDispatch> object_;
};

}  // namespace

std::unique_ptr<DispatchObject> dispatchObject(ComPtr<IDispatch> object) {
    return std::make_unique<Win32Dispatch>(std::move(object));
}

Win32Com::~Win32Com() {
    if (initialized_) ::CoUninitialize();
}

Result Win32Com::initialize() {
    if (initialized_) return 0;
    const HRESULT hr = ::CoInitialize(nullptr);
    // S_FALSE: already initialised on this thread; it is still undone once.
    if (hr == S_OK || hr == S_FALSE) {
        initialized_ = true;
        return 0;
    }
    // Initialised by someone else in another model: COM is usable all the same.
    if (hr == RPC_E_CHANGED_MODE) return 0;
    return comError(hr);
}

Result Win32Com::createObject(const std::string& classId, std::unique_ptr<DispatchObject>& out) {
    out.reset();
    if (Result e = initialize()) return e;
    WideText text = widen(classId);
    CLSID id;
    HRESULT hr = ::CLSIDFromString(text.data(), &id);
    if (FAILED(hr)) return comError(hr);
    ComPtr<IDispatch> object;
    hr = ::CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.out());
    if (FAILED(hr)) return comError(hr);
    if (!object) return oserr::kNotSupported;
    out = dispatchObject(std::move(object));
    return 0;
}

}  // namespace ssi::win32
