// Ids and built-in texts of the program's string table (see strings.def).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ssi {

enum StringId : uint32_t {
#define SSI_STRING(symbol, id, text) symbol = id,
#include "core/strings.def"
#undef SSI_STRING
};

struct StringEntry {
    uint32_t id;
    const char* text;
};

// Every entry of the table, in the order of strings.def.
const StringEntry* stringTable(size_t& count);
// The built-in text of an id, or "" when the id is unknown.
std::string builtinString(uint32_t id);

}  // namespace ssi
