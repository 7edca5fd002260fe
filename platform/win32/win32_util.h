// Small helpers the Win32 services share (inline here; the text conversions
// live in win32_system.cpp): the error number of a failed call, strings from
// APIs that fill buffers, and ANSI <-> UTF-16 conversion.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/os.h"

namespace ssi::win32 {

// The calling thread's last error after a failed call; a failure is never 0,
// so a call that failed without setting one reports ERROR_GEN_FAILURE.
[[nodiscard]] inline Result systemError() {
    const DWORD e = ::GetLastError();
    return e ? Result(e) : oserr::kGenFailure;
}

// The same for APIs that return their error instead of setting it (registry).
[[nodiscard]] inline Result statusError(LONG status) {
    return status ? Result(status) : oserr::kGenFailure;
}

// Calls an API that fills a buffer and returns the length it wrote, or the
// length it needs when the buffer is too small, growing the buffer as asked.
template <typename Fill>
std::string fetchString(Fill fill, DWORD first = MAX_PATH + 1) {
    std::string buffer(first, '\0');
    DWORD n = fill(buffer.data(), DWORD(buffer.size()));
    if (n >= buffer.size()) {
        buffer.assign(n + 1, '\0');
        n = fill(buffer.data(), DWORD(buffer.size()));
        if (n >= buffer.size()) n = 0;
    }
    buffer.resize(n);
    return buffer;
}

// UTF-16 text with a terminating zero, as COM takes it. A vector rather than
// std::wstring: the wide string class would bring its whole instantiation
// from the runtime library (about 35 KB) into the program image.
struct WideText {
    std::vector<wchar_t> chars{L'\0'};
    wchar_t* data() { return chars.data(); }
    size_t size() const { return chars.size() - 1; }  // without the zero
};

// ANSI code page text to UTF-16 and back (COM speaks UTF-16).
WideText widen(const std::string& text);
std::string narrow(const wchar_t* text, size_t length);

}  // namespace ssi::win32
