// saverpack: builds, lists, extracts and verifies installer packages, and
// hands the data file and movie verbs to their own commands.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/saverpack/commands.h"

#if SSI_SAVERPACK_SSD
#include "tools/saverpack/ssd_command.h"
#endif
#if SSI_SAVERPACK_SWF
#include "tools/saverpack/swf_command.h"
#endif

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "ssd") == 0) {
#if SSI_SAVERPACK_SSD
        return ssdCommand(argc - 1, argv + 1);
#else
        std::cerr << "saverpack: this build has no ssd command\n";
        return ssi::tool::kExitUsage;
#endif
    }
    if (argc >= 2 && std::strcmp(argv[1], "swf") == 0) {
#if SSI_SAVERPACK_SWF
        return swfCommand(argc - 1, argv + 1);
#else
        std::cerr << "saverpack: this build has no swf command\n";
        return ssi::tool::kExitUsage;
#endif
    }
    std::vector<std::string> args(argv, argv + argc);
    return ssi::tool::runSaverpack(args, std::cout, std::cerr);
}
