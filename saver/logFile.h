// The diagnostic trace. Routines announce what they do through these five
// operations; the installer writes the trace nowhere, so each body is empty and
// the only cost at a call site is composing the text.
#pragma once

#include <cstdint>
#include <string>

namespace ssi {

inline void logMessage(const std::string&) {}
inline void logEnter(const std::string&) {}
inline void logEnterWith(const std::string&, const std::string&) {}
inline void logLeave(const std::string&) {}
inline void logLeaveWith(const std::string&, int32_t) {}

}  // namespace ssi
