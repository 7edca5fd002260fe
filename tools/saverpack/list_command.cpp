// "saverpack list FILE": the installer's settings and its slot table.
#include "tools/saverpack/tool_support.h"

#include "tools/saverpack/codepage.h"
#include "tools/saverpack/package_table.h"

namespace ssi::tool {

int commandList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Arguments a = parseArguments(args, 2, {});
    if (!a.error.empty()) return usageError(err, a.error);
    if (a.positional.size() != 1) return usageError(err, "list takes FILE");
    Installer inst;
    std::string error;
    if (!openInstaller(a.positional[0], inst, error)) return fault(err, error);
    printPackageTable(inst.header, inst.size, kDefaultCodePage, out);
    return kExitOk;
}

}  // namespace ssi::tool
