// saverpack: builds, lists, extracts and verifies installer packages, and
// hands the data file and movie verbs to their own commands.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/saverpack/commands.h"
#include "tools/saverpack/ssd_command.h"
#include "tools/saverpack/swf_command.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "ssd") == 0) return ssdCommand(argc - 1, argv + 1);
    if (argc >= 2 && std::strcmp(argv[1], "swf") == 0) return swfCommand(argc - 1, argv + 1);
    std::vector<std::string> args(argv, argv + argc);
    return ssi::tool::runSaverpack(args, std::cout, std::cerr);
}
