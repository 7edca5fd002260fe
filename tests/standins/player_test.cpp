// Checks the player control stand-in as the installer meets it, from inside
// one Wine process (every program start under Wine is slow):
//
//   standins_player_test unregistered
//       no class registration; CoCreateInstance gives REGDB_E_CLASSNOTREG
//   standins_player_test registered MAJOR VERSION|none [--host] [--hold FILE]
//       InprocServer32 names the installed file; its version resource is VERSION
//       (or absent); created with no site it answers FlashVersion with MAJOR and
//       makes no window. --host adds the dispatch rules, hosting in a window of
//       our own (verbs, rectangles, painting, a right click, UI activation,
//       deactivation), the event connection point and hosts that misbehave.
//       --hold FILE writes FILE.ready while the hosted control plays and waits
//       for FILE.done (a screenshot is taken meanwhile).
//
// Prints "ok: ..." or "FAIL: ..." per check; exit code 1 when one failed.
#include <windows.h>
// after windows.h
#include <ocidl.h>
#include <ole2.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fixtures/player/com_ref.h"

using standin::ComRef;

namespace {

const CLSID kPlayer = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kPlayerEvents = {0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const wchar_t kServerKey[] = L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InprocServer32";
const wchar_t kInstalled[] = L"C:\\windows\\system32\\Macromed\\Flash\\Flash.ocx";
const RECT kPos = {10, 10, 330, 250};

int g_failures = 0;

std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 128 ? char(c) : '?';
    return s;
}

void check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    if (!ok) ++g_failures;
}

void checkText(const std::string& expected, const std::string& actual, const std::string& what) {
    check(expected == actual,
          what + (expected == actual ? "" : ": expected '" + expected + "', got '" + actual + "'"));
}
std::string hex(HRESULT hr) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%08lX", static_cast<unsigned long>(hr));
    return b;
}
void checkHr(HRESULT expected, HRESULT actual, const std::string& what) {
    checkText(hex(expected), hex(actual), what);
}
void checkLong(long expected, long actual, const std::string& what) {
    checkText(std::to_string(expected), std::to_string(actual), what);
}

// ---- the log ------------------------------------------------------------------------

std::wstring g_logPath;

void startLog() {
    ::DeleteFileW(g_logPath.c_str());
    ::SetEnvironmentVariableW(L"PLAYER_STANDIN_LOG", g_logPath.c_str());
}

std::string readLog() {
    std::string text;
    HANDLE f = ::CreateFileW(g_logPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return text;
    char buf[4096];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
    ::CloseHandle(f);
    return text;
}

bool logHas(const std::string& line) {
    return ("\n" + readLog()).find("\n" + line + "\n") != std::string::npos;
}

// ---- dispatch by name, as the installer calls it ----------------------------------------

struct Arg {
    VARIANT v;
    explicit Arg(const wchar_t* s) {
        ::VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(s);
    }
    explicit Arg(long n) {
        ::VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = n;
    }
    static Arg boolean(bool b) {
        Arg a(0L);
        a.v.vt = VT_BOOL;
        a.v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        return a;
    }
    Arg(const Arg& o) {
        ::VariantInit(&v);
        ::VariantCopy(&v, const_cast<VARIANT*>(&o.v));
    }
    Arg& operator=(const Arg&) = delete;
    ~Arg() { ::VariantClear(&v); }
};

DISPID idOf(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    auto* n = const_cast<LPOLESTR>(name);
    return SUCCEEDED(d->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id)) ? id : DISPID_UNKNOWN;
}

// Arguments in their natural order; a put sends DISPID_PROPERTYPUT as the named argument.
[[nodiscard]] HRESULT invoke(IDispatch* d, DISPID id, WORD flags, std::vector<Arg> args = {},
                             VARIANT* result = nullptr) {
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->v);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS p = {reversed.data(), nullptr, UINT(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        p.rgdispidNamedArgs = &put;
        p.cNamedArgs = 1;
    }
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &p, result, nullptr, nullptr);
}
[[nodiscard]] HRESULT call(IDispatch* d, const wchar_t* name, std::vector<Arg> args = {},
                           VARIANT* result = nullptr) {
    return invoke(d, idOf(d, name), DISPATCH_METHOD, std::move(args), result);
}
[[nodiscard]] HRESULT put(IDispatch* d, const wchar_t* name, const Arg& value) {
    return invoke(d, idOf(d, name), DISPATCH_PROPERTYPUT, {value});
}

ComRef<IDispatch> createPlayer() {
    ComRef<IDispatch> d;
    ::CoCreateInstance(kPlayer, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.putVoid());
    return d;
}

template <class T>
ComRef<T> as(IUnknown* u, REFIID iid) {
    ComRef<T> out;
    if (u) u->QueryInterface(iid, out.putVoid());
    return out;
}

// ---- a minimal control site ---------------------------------------------------------------

class Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit Site(HWND window) : window_(window) {}
    LONG refs = 1;  // ours; every other reference is the control's
    HWND window_;
    bool allowInPlace = true;
    int canInPlace = 0, inPlaceActivated = 0, inPlaceDeactivated = 0, uiActivated = 0, uiDeactivated = 0;
    IOleInPlaceActiveObject* activeObject = nullptr;  // last SetActiveObject (not held)

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
            *out = static_cast<IOleInPlaceFrame*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return ULONG(--refs); }
    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP GetContainer(IOleContainer** c) override {
        *c = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    STDMETHODIMP GetWindow(HWND* w) override {
        *w = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override {
        ++canInPlace;
        return allowInPlace ? S_OK : S_FALSE;
    }
    STDMETHODIMP OnInPlaceActivate() override {
        ++inPlaceActivated;
        return S_OK;
    }
    STDMETHODIMP OnUIActivate() override {
        ++uiActivated;
        return S_OK;
    }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        *frame = this;
        AddRef();
        *doc = nullptr;
        *pos = *clip = kPos;
        info->fMDIApp = FALSE;
        info->hwndFrame = window_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override {
        ++uiDeactivated;
        return S_OK;
    }
    STDMETHODIMP OnInPlaceDeactivate() override {
        ++inPlaceDeactivated;
        return S_OK;
    }
    STDMETHODIMP DiscardUndoState() override { return S_OK; }
    STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow, IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        activeObject = object;
        return S_OK;
    }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

HWND makeHostWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"StandinsPlayerHost";
        registered = ::RegisterClassW(&wc) != 0;
    }
    HWND w =
        ::CreateWindowExW(0, L"StandinsPlayerHost", L"Player host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40,
                          40, 360, 300, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::ShowWindow(w, SW_SHOW);
    return w;
}

void pump(DWORD ms) {
    DWORD end = ::GetTickCount() + ms;
    do {
        MSG m;
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&m);
            ::DispatchMessageW(&m);
        }
        ::Sleep(10);
    } while (LONG(::GetTickCount() - end) < 0);
}

HWND controlWindow(IUnknown* control) {
    HWND w = nullptr;
    if (auto ipo = as<IOleInPlaceObject>(control, IID_IOleInPlaceObject)) ipo->GetWindow(&w);
    return w;
}

bool styleVisible(HWND w) {
    return w && (::GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE);
}

RECT rectInParent(HWND w) {
    RECT r = {};
    ::GetWindowRect(w, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}
std::string showRect(const RECT& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
           std::to_string(r.bottom);
}

// The colour of the panel's frame: green while playing, orange when stopped.
COLORREF framePixel(HWND w) {
    ::InvalidateRect(w, nullptr, TRUE);
    ::UpdateWindow(w);
    HDC dc = ::GetDC(w);
    COLORREF c = ::GetPixel(dc, 1, 1);
    ::ReleaseDC(w, dc);
    return c;
}

// ---- the cases ----------------------------------------------------------------------------

void checkRegistration(const std::string& version) {
    wchar_t value[MAX_PATH] = L"", model[64] = L"";
    LONG size = sizeof value;
    bool found = ::RegQueryValueW(HKEY_CLASSES_ROOT, kServerKey, value, &size) == ERROR_SUCCESS;
    check(found && ::lstrcmpiW(value, kInstalled) == 0,
          "InprocServer32 names the installed file: " + narrow(value));
    HKEY key;
    DWORD bytes = sizeof model;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        ::RegQueryValueExW(key, L"ThreadingModel", nullptr, nullptr, reinterpret_cast<BYTE*>(model), &bytes);
        ::RegCloseKey(key);
    }
    checkText("Apartment", narrow(model), "ThreadingModel");

    std::string fileVersion = "none";
    DWORD handle = 0, n = ::GetFileVersionInfoSizeW(kInstalled, &handle);
    std::vector<BYTE> block(n);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (n && ::GetFileVersionInfoW(kInstalled, 0, n, block.data()) &&
        ::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed)
        fileVersion = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                      std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                      std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                      std::to_string(LOWORD(fixed->dwFileVersionLS));
    checkText(version, fileVersion, "version resource of the installed file");
}

// Created the way a version check does: no site, one query, released.
void checkPlainQuery(long major) {
    startLog();
    {
        ComRef<IDispatch> d = createPlayer();
        check(bool(d), "CoCreateInstance by class id");
        if (!d) return;
        VARIANT v;
        ::VariantInit(&v);
        checkHr(S_OK, call(d.get(), L"FlashVersion", {}, &v), "FlashVersion by name");
        check(v.vt == VT_I4, "FlashVersion gives a 4-byte integer");
        checkLong(major, HIWORD(v.lVal), "FlashVersion's major version");
    }
    checkText("create\nFlashVersion\nrelease\n", readLog(), "log of a plain query");
    check(!::FindWindowExW(nullptr, nullptr, L"PlayerStandinWindow", nullptr), "no window without a site");
}

void checkDispatchRules() {
    ComRef<IDispatch> d = createPlayer();
    if (!d) return;
    struct Name {
        const wchar_t* name;
        DISPID expected;  // 0: any id of our own
    };
    const Name names[] = {{L"Movie", 102},      {L"SCALEMODE", 120}, {L"wmode", 133}, {L"Menu", 135},
                          {L"flashversion", 0}, {L"SetVariable", 0}, {L"Play", 0},    {L"StopPlay", 0}};
    std::vector<DISPID> seen;
    for (const auto& n : names) {
        DISPID id = idOf(d.get(), n.name);
        bool ok = n.expected ? id == n.expected : id != DISPID_UNKNOWN;
        for (DISPID s : seen) ok = ok && s != id;
        seen.push_back(id);
        check(ok, "GetIDsOfNames " + narrow(n.name) + " -> " + std::to_string(id));
    }
    DISPID id = 0;
    LPOLESTR unknown = const_cast<LPOLESTR>(L"Quality2");
    checkHr(DISP_E_UNKNOWNNAME, d->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), "unknown name");
    checkLong(DISPID_UNKNOWN, id, "unknown name's id");

    const DISPID scale = 120, menu = 135, version = idOf(d.get(), L"FlashVersion");
    struct Case {
        const char* what;
        DISPID id;
        WORD flags;
        std::vector<Arg> args;
        HRESULT expected;
    };
    const Case cases[] = {
        {"no such member", 9999, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND},
        {"FlashVersion with an argument", version, DISPATCH_METHOD, {Arg(1L)}, DISP_E_BADPARAMCOUNT},
        {"SetVariable with one argument",
         idOf(d.get(), L"SetVariable"),
         DISPATCH_METHOD,
         {Arg(L"a")},
         DISP_E_BADPARAMCOUNT},
        {"put on a method", idOf(d.get(), L"Play"), DISPATCH_PROPERTYPUT, {Arg(1L)}, DISP_E_MEMBERNOTFOUND},
        {"ScaleMode from a word", scale, DISPATCH_PROPERTYPUT, {Arg(L"abc")}, DISP_E_TYPEMISMATCH},
        {"Menu from a word", menu, DISPATCH_PROPERTYPUT, {Arg(L"maybe")}, DISP_E_TYPEMISMATCH},
        {"ScaleMode from a numeric string", scale, DISPATCH_PROPERTYPUT, {Arg(L"3")}, S_OK},
        {"get with an argument", scale, DISPATCH_PROPERTYGET, {Arg(1L)}, DISP_E_BADPARAMCOUNT},
    };
    for (const auto& c : cases) checkHr(c.expected, invoke(d.get(), c.id, c.flags, c.args), c.what);

    VARIANT r;
    ::VariantInit(&r);
    DISPPARAMS bare = {nullptr, nullptr, 0, 0};
    checkHr(DISP_E_UNKNOWNINTERFACE,
            d->Invoke(scale, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &bare, &r, nullptr, nullptr),
            "Invoke with an interface id");
    Arg one(1L);
    DISPPARAMS unnamed = {&one.v, nullptr, 1, 0};
    checkHr(DISP_E_PARAMNOTOPTIONAL,
            d->Invoke(scale, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
            "put without the property-put argument");
    checkHr(S_OK, invoke(d.get(), scale, DISPATCH_PROPERTYGET, {}, &r), "get ScaleMode");
    check(r.vt == VT_I4 && r.lVal == 3, "ScaleMode converted from \"3\" reads back 3");
    ::VariantClear(&r);
    checkHr(S_OK, put(d.get(), L"WMode", Arg(L"Transparent")), "put WMode");
    checkHr(S_OK, invoke(d.get(), 133, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &r), "get WMode");
    check(r.vt == VT_BSTR && narrow(r.bstrVal) == "Transparent", "WMode reads back");
    ::VariantClear(&r);
    checkHr(S_OK, put(d.get(), L"Menu", Arg::boolean(false)), "put Menu");
    checkHr(S_OK, invoke(d.get(), menu, DISPATCH_PROPERTYGET, {}, &r), "get Menu");
    check(r.vt == VT_BOOL && r.boolVal == VARIANT_FALSE, "Menu reads back false");
}

std::wstring writeMovie() {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"nightsky.swf";
    const char header[] = "FWS\x07\x20\0\0\0";
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(f, header, 8, &written, nullptr);
    ::CloseHandle(f);
    return path;
}

void holdForScreenshot(const std::wstring& hold) {
    HANDLE f =
        ::CreateFileW((hold + L".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ::CloseHandle(f);
    for (int i = 0; i < 600 && ::GetFileAttributesW((hold + L".done").c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i)
        pump(100);
}

void checkHosting(const std::wstring& hold) {
    startLog();
    HWND host = makeHostWindow();
    Site site(host);
    std::wstring movie = writeMovie();
    {
        ComRef<IOleObject> ole;
        checkHr(S_OK,
                ::CoCreateInstance(kPlayer, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, ole.putVoid()),
                "created as IOleObject");
        if (!ole) return;
        DWORD misc = 0;
        ole->GetMiscStatus(DVASPECT_CONTENT, &misc);
        check((misc & (OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST)) ==
                  (OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST),
              "misc status asks for a site first and activation when visible");
        ole->SetClientSite(&site);
        checkHr(S_OK, as<IPersistStreamInit>(ole.get(), IID_IPersistStreamInit)->InitNew(), "InitNew");
        SIZEL extent = {8467, 6350}, back = {};
        ole->SetExtent(DVASPECT_CONTENT, &extent);
        ole->GetExtent(DVASPECT_CONTENT, &back);
        check(back.cx == extent.cx && back.cy == extent.cy, "extent round trip");

        RECT pos = kPos;
        checkHr(S_OK, ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &pos),
                "in-place activation");
        check(site.canInPlace == 1 && site.inPlaceActivated == 1, "site asked and told of the activation");
        HWND w = controlWindow(ole.get());
        check(w && ::GetParent(w) == host, "control window is a child of the site's window");
        checkText(showRect(kPos), showRect(rectInParent(w)), "control window at the position rectangle");
        check(styleVisible(w), "control window visible after activation");

        auto d = as<IDispatch>(ole.get(), IID_IDispatch);
        checkHr(S_OK, put(d.get(), L"ScaleMode", Arg(0L)), "put ScaleMode");
        checkHr(S_OK, call(d.get(), L"SetVariable", {Arg(L"Align"), Arg(L"AlClient")}), "SetVariable Align");
        checkHr(S_OK, put(d.get(), L"WMode", Arg(L"Opaque")), "put WMode");
        checkHr(S_OK, put(d.get(), L"Menu", Arg::boolean(false)), "put Menu");
        checkHr(S_OK, put(d.get(), L"Movie", Arg(movie.c_str())), "put Movie");
        checkHr(S_OK, call(d.get(), L"Play"), "Play");
        checkLong(RGB(60, 190, 100), long(framePixel(w)), "painted frame is green while playing");
        if (!hold.empty()) holdForScreenshot(hold);
        checkHr(S_OK, call(d.get(), L"StopPlay"), "StopPlay");
        checkLong(RGB(210, 130, 40), long(framePixel(w)), "painted frame is orange when stopped");

        ole->DoVerb(OLEIVERB_HIDE, nullptr, &site, 0, host, &pos);
        check(!styleVisible(w), "verb -3 hides the window");
        ole->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, host, &pos);
        check(styleVisible(w) && controlWindow(ole.get()) == w, "verb -1 shows the same window again");

        // A real right click in the middle of the control.
        RECT screen;
        ::GetWindowRect(w, &screen);
        ::SetForegroundWindow(host);
        ::SetCursorPos((screen.left + screen.right) / 2, (screen.top + screen.bottom) / 2);
        ::mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
        ::mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
        for (int i = 0; i < 250 && !logHas("rbuttondown"); ++i) pump(20);  // up to 5 s under emulation
        check(logHas("rbuttondown"), "a right click reaches the control window");

        RECT moved = {20, 20, 220, 170};
        as<IOleInPlaceObject>(ole.get(), IID_IOleInPlaceObject)->SetObjectRects(&moved, &moved);
        checkText(showRect(moved), showRect(rectInParent(w)), "SetObjectRects moves the window");

        ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, host, &pos);
        check(site.uiActivated == 1 && site.activeObject != nullptr,
              "UI activation tells the site and the frame");
        as<IOleInPlaceObject>(ole.get(), IID_IOleInPlaceObject)->UIDeactivate();
        check(site.uiDeactivated == 1 && site.activeObject == nullptr, "UI deactivation undoes it");
        as<IOleInPlaceObject>(ole.get(), IID_IOleInPlaceObject)->InPlaceDeactivate();
        check(!::IsWindow(w) && site.inPlaceDeactivated == 1,
              "InPlaceDeactivate destroys the window, tells the site");
        ole->Close(OLECLOSE_NOSAVE);
        ole->SetClientSite(nullptr);
    }
    checkLong(1, site.refs, "the control released every reference to the site");
    const std::string path = narrow(movie);
    checkText(
        "create\nsite\ninitnew\nverb -5\ninplace 10 10 330 250\nput ScaleMode 0\nSetVariable Align AlClient\n"
        "put WMode Opaque\nput Menu false\nput Movie " +
            path +
            "\nPlay\nStopPlay\nverb -3\nverb -1\n"
            "rbuttondown\nrects 20 20 220 170\nverb -4\nuiactivate\nuideactivate\ndeactivate\nclose\nsite "
            "none\n"
            "release\n",
        readLog(), "log of the hosted session");
    ::DestroyWindow(host);
}

// Hosts that call things in another order, or not at all.
void checkRobustness() {
    HWND host = makeHostWindow();
    RECT pos = kPos;
    auto fresh = [](ComRef<IOleObject>& ole, Site* site) {
        ::CoCreateInstance(kPlayer, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, ole.putVoid());
        if (ole && site) ole->SetClientSite(site);
        return bool(ole);
    };
    {
        Site site(host);
        ComRef<IOleObject> ole;
        if (fresh(ole, &site)) {
            checkHr(S_OK, ole->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, host, &pos),
                    "verb -1 first activates");
            HWND w = controlWindow(ole.get());
            check(styleVisible(w), "and shows the window");
            ole.reset();
            check(!::IsWindow(w), "the last Release without Close destroys the window");
        }
    }
    {
        Site site(host);
        ComRef<IOleObject> ole;
        if (fresh(ole, &site)) {
            checkHr(S_OK, ole->DoVerb(OLEIVERB_HIDE, nullptr, &site, 0, host, &pos),
                    "verb -3 before activation");
            check(!controlWindow(ole.get()) && site.canInPlace == 0, "leaves it inactive");
            site.allowInPlace = false;
            check(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &pos) != S_OK &&
                      !controlWindow(ole.get()) && site.inPlaceActivated == 0,
                  "a site that refuses in-place activation gets no window");
            site.allowInPlace = true;
            ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &pos);
            HWND w = controlWindow(ole.get());
            ole->SetClientSite(nullptr);
            check(w && !::IsWindow(w) && site.inPlaceDeactivated == 1, "removing the site deactivates");
        }
        checkLong(1, site.refs, "no reference to the site left");
    }
    {
        ComRef<IOleObject> ole;
        if (fresh(ole, nullptr))
            check(FAILED(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, host, &pos)) &&
                      !controlWindow(ole.get()),
                  "activation without any site fails cleanly");
    }
    {
        HWND doomed = makeHostWindow();
        Site site(doomed);
        ComRef<IOleObject> ole;
        if (fresh(ole, &site)) {
            ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, doomed, &pos);
            ::DestroyWindow(doomed);
            check(!controlWindow(ole.get()), "the window goes with the host's window");
            check(FAILED(ole->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, doomed, &pos)),
                  "showing again in a destroyed window fails");
            checkHr(S_OK, ole->Close(OLECLOSE_NOSAVE), "Close afterwards");
        }
    }
    {
        ComRef<IOleObject> ole;
        fresh(ole, nullptr);
        auto container = as<IConnectionPointContainer>(ole.get(), IID_IConnectionPointContainer);
        ComRef<IConnectionPoint> point;
        check(container && SUCCEEDED(container->FindConnectionPoint(kPlayerEvents, point.put())),
              "the event interface has a connection point");
        Site sink(host);  // answers no IDispatch
        DWORD cookie = 0;
        if (point)
            checkHr(CONNECT_E_CANNOTCONNECT, point->Advise(static_cast<IOleClientSite*>(&sink), &cookie),
                    "a sink without IDispatch is refused");
        auto d = as<IDispatch>(ole.get(), IID_IDispatch);
        if (point) {
            checkHr(S_OK, point->Advise(d.get(), &cookie), "a dispatch sink connects");
            checkHr(S_OK, point->Unadvise(cookie), "and disconnects");
        }
        ComRef<IConnectionPoint> none;
        if (container)
            checkHr(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IDispatch, none.put()),
                    "no connection point for other interfaces");
    }
    ::DestroyWindow(host);
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "unregistered" && (mode != "registered" || argc < 4)) {
        std::fprintf(stderr,
                     "usage: standins_player_test unregistered | registered MAJOR VERSION|none [--host] "
                     "[--hold FILE]\n");
        return 2;
    }
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    g_logPath = std::wstring(temp) + L"standins-player.log";
    ::OleInitialize(nullptr);
    if (mode == "unregistered") {
        HKEY key;
        check(::RegOpenKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, KEY_READ, &key) != ERROR_SUCCESS,
              "no InprocServer32 key");
        IUnknown* u = nullptr;
        checkHr(REGDB_E_CLASSNOTREG,
                ::CoCreateInstance(kPlayer, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&u)),
                "CoCreateInstance before registration");
    } else {
        bool host = false;
        std::wstring hold;
        for (int i = 4; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--host") host = true;
            if (a == "--hold" && i + 1 < argc) {
                std::string h = argv[++i];
                hold.assign(h.begin(), h.end());
            }
        }
        checkRegistration(argv[3]);
        checkPlainQuery(std::atol(argv[2]));
        if (host) {
            checkDispatchRules();
            checkHosting(hold);
            checkRobustness();
        }
    }
    ::OleUninitialize();
    std::printf("%d failure(s)\n", g_failures);
    return g_failures ? 1 : 0;
}
