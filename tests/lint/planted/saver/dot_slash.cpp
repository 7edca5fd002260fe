// Planted: ./ in front of a higher folder; and ./ in front of an allowed one,
// which reaches nothing wrong but is refused all the same.
#include "./app/x.h"
#include "./platform/file_utils.h"
