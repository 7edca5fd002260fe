// "saverpack ssd": builds, lists and extracts screen saver data files; each
// verb is in its own file, the reader they share in ssd_support.h.
#include "tools/saverpack/ssd_command.h"

#include <iostream>

#include "tools/saverpack/commands.h"
#include "tools/saverpack/help.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/ssd_support.h"
#include "tools/saverpack/suggest.h"

namespace ssi::tool {

int runSsd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2 || args[1] == "--help" || args[1] == "-h") {
        (args.size() < 2 ? err : out) << ssdUsage();
        return args.size() < 2 ? kExitUsage : kExitOk;
    }
    int exitCode = kExitOk;
    if (answerHelp(args, out, err, exitCode)) return exitCode;
    try {
        if (args[1] == "build") return ssdBuild(args, out, err);
        if (args[1] == "list") return ssdList(args, out, err);
        if (args[1] == "extract") return ssdExtract(args, out, err);
        if (args[1] == "init-record") return ssdInitRecord(args, out, err);
    } catch (const std::exception& e) {
        err << "saverpack ssd: " << printable(e.what()) << "\n";
        return kExitFault;
    }
    err << "saverpack ssd: unknown command " << printable(args[1])
        << didYouMean(args[1], {"build", "list", "extract", "init-record", "help"}) << "\n"
        << ssdUsage();
    return kExitUsage;
}

}  // namespace ssi::tool

int ssdCommand(int argc, char** argv) {
    return ssi::tool::runSsd(std::vector<std::string>(argv, argv + argc), std::cout, std::cerr);
}
