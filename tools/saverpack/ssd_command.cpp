// "saverpack ssd": builds, lists and extracts screen saver data files; each
// verb is in its own file, the reader they share in ssd_support.h.
#include "tools/saverpack/ssd_command.h"

#include <iostream>

#include "tools/saverpack/commands.h"
#include "tools/saverpack/ssd_support.h"

namespace ssi::tool {

int runSsd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2 || args[1] == "--help" || args[1] == "-h") {
        (args.size() < 2 ? err : out) << ssdUsage();
        return args.size() < 2 ? kExitUsage : kExitOk;
    }
    try {
        if (args[1] == "build") return ssdBuild(args, out, err);
        if (args[1] == "list") return ssdList(args, out, err);
        if (args[1] == "extract") return ssdExtract(args, out, err);
    } catch (const std::exception& e) {
        err << "saverpack ssd: " << e.what() << "\n";
        return kExitFault;
    }
    err << "saverpack ssd: unknown command " << args[1] << "\n" << ssdUsage();
    return kExitUsage;
}

}  // namespace ssi::tool

int ssdCommand(int argc, char** argv) {
    return ssi::tool::runSsd(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr);
}
