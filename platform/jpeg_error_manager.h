// Header only (inline callbacks libjpeg calls).
// libjpeg's error handling for the picture check and the picture decoder:
// libjpeg reports fatal errors through error_exit, which must not return, so
// it jumps back to the caller's setjmp with the message kept; warnings are
// dropped (neither a tool's check nor a GUI program has a use for them).
#pragma once

#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

namespace ssi::jpeg {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

inline void onError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

inline void onMessage(j_common_ptr) {}

// Sets up `manager` as the error handler that `info` is then created with.
inline jpeg_error_mgr* attach(ErrorManager& manager) {
    jpeg_error_mgr* err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = onError;
    manager.pub.output_message = onMessage;
    manager.message[0] = 0;
    return err;
}

}  // namespace ssi::jpeg
