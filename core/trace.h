// Header only (every operation is inline).
// The diagnostic trace. Routines announce what they do through these five
// operations; the installer writes the trace nowhere, so the only cost at a
// call site is composing the text. A test may attach a sink to see which
// routine announced what; nothing in the product does.
#pragma once

#include <cstdint>
#include <string>

namespace ssi {

struct LogLine {
    const char* operation;  // "message", "enter", "enterWith", "leave", "leaveWith"
    std::string name;       // the routine's name, or the message's text
    std::string detail;     // the argument or result, as text
};
using LogSink = void (*)(const LogLine& line);

// The attached sink (none unless a test set one).
inline LogSink& logSink() {
    static LogSink sink = nullptr;
    return sink;
}

inline void logMessage(const std::string& text) {
    if (LogSink sink = logSink()) sink({"message", text, std::string()});
}
inline void logEnter(const std::string& routine) {
    if (LogSink sink = logSink()) sink({"enter", routine, std::string()});
}
inline void logEnterWith(const std::string& routine, const std::string& argument) {
    if (LogSink sink = logSink()) sink({"enterWith", routine, argument});
}
inline void logLeave(const std::string& routine) {
    if (LogSink sink = logSink()) sink({"leave", routine, std::string()});
}
inline void logLeaveWith(const std::string& routine, int32_t result) {
    if (LogSink sink = logSink()) sink({"leaveWith", routine, std::to_string(result)});
}

}  // namespace ssi
