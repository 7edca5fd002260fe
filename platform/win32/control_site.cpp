#include "platform/win32/control_site.h"

// after windows.h
#include <ole2.h>
#include <olectl.h>

#include "platform/win32/handles.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_util.h"

namespace ssi::win32 {

namespace {

class Site;

// One interface of the site. Every part answers for the whole site: they
// share its reference count, and QueryInterface on any of them reaches the
// others.
template <typename Interface>
class Part : public Interface {
public:
    explicit Part(Site& site) : site_(site) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

protected:
    Site& site_;
};

class ClientSitePart final : public Part<IOleClientSite> {
public:
    using Part::Part;
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    // The control has no document around it to talk to.
    STDMETHODIMP GetContainer(IOleContainer** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
};

class InPlaceSitePart final : public Part<IOleInPlaceSite> {
public:
    using Part::Part;
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    // The control keeps the place it was created at: a request for another
    // one is acknowledged and not followed.
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
};

// The frame: the window the control's menus, tools and status text would go
// to. The installer has none of them to offer.
class FramePart final : public Part<IOleInPlaceFrame> {
public:
    using Part::Part;
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

// The site of one control. It is reference-counted as COM objects are and
// deletes itself when the last reference goes: the control holds some for
// as long as it is attached, the hosted control object one.
class Site {
public:
    // A new site; its first reference goes to `ref`.
    static Site& make(HWND host, const RECT& place, ComPtr<IOleClientSite>& ref) {
        Site* site = new Site(host, place);
        ref.adopt(&site->client);
        return *site;
    }
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    ULONG addRef() { return ULONG(::InterlockedIncrement(&refs_)); }
    ULONG release() {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return ULONG(left);
    }
    [[nodiscard]] HRESULT query(REFIID iid, void** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite*>(&client);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
            *out = static_cast<IOleInPlaceSite*>(&inPlace);
        else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
            *out = static_cast<IOleInPlaceFrame*>(&frame);
        else
            return E_NOINTERFACE;
        addRef();
        return S_OK;
    }

    HWND host() const { return host_; }
    const RECT& place() const { return place_; }
    // The control is going: from now on the site offers no window.
    void detach() { host_ = nullptr; }

    ClientSitePart client{*this};
    InPlaceSitePart inPlace{*this};
    FramePart frame{*this};

private:
    Site(HWND host, const RECT& place) : host_(host), place_(place) {}
    ~Site() = default;
    LONG refs_ = 1;  // the creator's
    HWND host_;
    RECT place_;
};

template <typename Interface>
STDMETHODIMP Part<Interface>::QueryInterface(REFIID iid, void** out) {
    return site_.query(iid, out);
}
template <typename Interface>
STDMETHODIMP_(ULONG)
Part<Interface>::AddRef() {
    return site_.addRef();
}
template <typename Interface>
STDMETHODIMP_(ULONG)
Part<Interface>::Release() {
    return site_.release();
}

STDMETHODIMP InPlaceSitePart::GetWindow(HWND* out) {
    if (!out) return E_POINTER;
    *out = site_.host();
    return *out ? S_OK : E_FAIL;
}

STDMETHODIMP InPlaceSitePart::CanInPlaceActivate() {
    return site_.host() ? S_OK : S_FALSE;
}

STDMETHODIMP InPlaceSitePart::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = nullptr;
    *document = nullptr;
    if (!site_.host()) return E_FAIL;
    site_.frame.AddRef();
    *frame = &site_.frame;
    *position = site_.place();
    *clip = site_.place();
    info->fMDIApp = FALSE;
    info->hwndFrame = ::GetAncestor(site_.host(), GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP FramePart::GetWindow(HWND* out) {
    if (!out) return E_POINTER;
    *out = site_.host() ? ::GetAncestor(site_.host(), GA_ROOT) : nullptr;
    return *out ? S_OK : E_FAIL;
}

// A size in pixels of the screen as OLE measures extents (0.01 mm).
SIZEL himetric(const RECT& r) {
    WindowDC screen(nullptr);
    const int dpiX = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
    const int dpiY = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return SIZEL{::MulDiv(r.right - r.left, 2540, dpiX), ::MulDiv(r.bottom - r.top, 2540, dpiY)};
}

class Win32HostedControl final : public HostedControl {
public:
    Win32HostedControl(ComPtr<IOleObject> object, HWND host, const RECT& place)
        : object_(std::move(object)), site_(Site::make(host, place, siteRef_)) {}
    // Whatever state the control reached, it is taken down in the order OLE
    // asks for: out of place, closed, the site taken back, released.
    ~Win32HostedControl() override {
        members_.reset();
        ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, inPlace.out())) && inPlace)
            inPlace->InPlaceDeactivate();
        inPlace.reset();
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        site_.detach();
        object_.reset();
    }
    Win32HostedControl(const Win32HostedControl&) = delete;
    Win32HostedControl& operator=(const Win32HostedControl&) = delete;

    [[nodiscard]] Result start() {
        DWORD misc = 0;
        if (FAILED(object_->GetMiscStatus(DVASPECT_CONTENT, &misc))) misc = 0;
        // Some controls want their site before their state, others after.
        const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
        if (siteFirst)
            if (Result e = comError(object_->SetClientSite(siteRef_.get()))) return e;
        ComPtr<IPersistStreamInit> persist;
        if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, persist.out())) && persist)
            if (Result e = comError(persist->InitNew())) return e;
        if (!siteFirst)
            if (Result e = comError(object_->SetClientSite(siteRef_.get()))) return e;
        ComPtr<IDispatch> dispatch;
        if (Result e = comError(object_->QueryInterface(IID_IDispatch, dispatch.out()))) return e;
        if (!dispatch) return oserr::kNotSupported;
        members_ = dispatchObject(std::move(dispatch));
        SIZEL extent = himetric(site_.place());
        object_->SetExtent(DVASPECT_CONTENT, &extent);  // a control that keeps its own size may refuse
        return doVerb(oleverb::kInPlaceActivate);
    }

    [[nodiscard]] Result call(const std::string& member, const std::vector<Variant>& arguments,
                              Variant& result) override {
        return members_->call(member, arguments, result);
    }
    [[nodiscard]] Result get(const std::string& member, Variant& out) override {
        return members_->get(member, out);
    }
    [[nodiscard]] Result put(const std::string& member, const Variant& value) override {
        return members_->put(member, value);
    }

    [[nodiscard]] Result doVerb(int verb) override {
        if (!site_.host() || !::IsWindow(site_.host())) return oserr::kInvalidWindowHandle;
        RECT place = site_.place();
        return comError(object_->DoVerb(verb, nullptr, siteRef_.get(), 0, site_.host(), &place));
    }

    [[nodiscard]] Result focus() override {
        if (Result e = doVerb(oleverb::kUiActivate)) return e;
        ComPtr<IOleInPlaceObject> inPlace;
        if (Result e = comError(object_->QueryInterface(IID_IOleInPlaceObject, inPlace.out()))) return e;
        HWND window = nullptr;
        if (Result e = comError(inPlace->GetWindow(&window))) return e;
        // A control without a window of its own takes the keys through its host.
        ::SetLastError(0);
        if (!::SetFocus(window ? window : site_.host()) && ::GetLastError()) return systemError();
        return 0;
    }

private:
    ComPtr<IOleObject> object_;
    ComPtr<IOleClientSite> siteRef_;  // our reference to the site
    Site& site_;                      // alive while siteRef_ holds it
    std::unique_ptr<DispatchObject> members_;
};

}  // namespace

Result createHostedControl(HWND host, const CLSID& id, const RECT& place,
                           std::unique_ptr<HostedControl>& out) {
    out.reset();
    if (!::IsWindow(host)) return oserr::kInvalidWindowHandle;
    ComPtr<IOleObject> object;
    const HRESULT hr = ::CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object.out());
    if (FAILED(hr)) return comError(hr);
    if (!object) return oserr::kNotSupported;
    // From here on the control object takes the control down again if any
    // step fails.
    auto control = std::make_unique<Win32HostedControl>(std::move(object), host, place);
    if (control->start() != 0) return rc::kControlNotSited;
    out = std::move(control);
    return 0;
}

}  // namespace ssi::win32
