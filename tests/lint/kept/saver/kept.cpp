// Legal lines that look like faults to a careless reader: none may be reported.
#include "saver/sibling.h"
#include "sibling.h"
#include <string>
// #include "app/installer_window.h" in a line comment
/* in a block comment:
#include "app/installer_window.h"
*/
const long kMillion = 1'000'000; /* a digit separator, then a comment
#include "app/installer_window.h"
*/
const char* kRaw = R"(a raw string with " and /* inside)";
const char* kText = "#include \"app/installer_window.h\" in a string";
#define INCLUDE_LINE "#include \"app/installer_window.h\""
