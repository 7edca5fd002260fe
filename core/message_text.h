// Text read from files (names, paths) made safe for a message line: what is
// printed never moves the cursor or recolours a terminal.
#pragma once

#include <string>

namespace ssi {

// The text with every control character (and DEL) as \xNN.
std::string printable(const std::string& text);

// A name in double quotes for a message: as printable, and quotes and
// backslashes as \xNN too, so that the text between the quotes reads back as
// exactly one name.
std::string quoted(const std::string& text);

}  // namespace ssi
