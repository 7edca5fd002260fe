#include "core/strings.h"

namespace ssi {

namespace {
constexpr StringEntry kTable[] = {
#define SSI_STRING(symbol, id, text) {id, text},
#include "core/strings.def"
#undef SSI_STRING
};
}  // namespace

const StringEntry* stringTable(size_t& count) {
    count = sizeof(kTable) / sizeof(kTable[0]);
    return kTable;
}

std::string builtinString(uint32_t id) {
    for (const StringEntry& e : kTable)
        if (e.id == id) return e.text;
    return std::string();
}

}  // namespace ssi
