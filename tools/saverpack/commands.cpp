#include "tools/saverpack/commands.h"

#include <zlib.h>

#include "codec/implode.h"
#include "core/version.h"
#include "tools/saverpack/help.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/ssd_command.h"
#include "tools/saverpack/suggest.h"
#include "tools/saverpack/swf_command.h"
#include "tools/saverpack/tool_support.h"

namespace ssi::tool {

std::string usageText() {
    return "usage: saverpack COMMAND ARGUMENTS\n"
           "\n"
           "Installer packages:\n"
           "  build STUB MANIFEST OUT [--impborl PATH] [--werror] [--dry-run] [--force]\n"
           "        make the installer OUT from the program image STUB and a TOML manifest;\n"
           "        slot 1 is the decompression library PATH (default: impborl.dll beside\n"
           "        STUB) unless the manifest gives [slots.1]; refuses what the installer\n"
           "        would botch, warns for the rest (--werror: warnings are errors);\n"
           "        --dry-run prints what it would write and writes nothing; an existing\n"
           "        OUT is replaced only with --force\n"
           "  list FILE\n"
           "        the installer's settings and its slot table\n"
           "  extract FILE DIR [--slot N] [--force]\n"
           "        every used slot 1..10 (or slot N), expanded, into DIR under its stored name;\n"
           "        existing files are replaced only with --force\n"
           "  verify FILE [--werror]\n"
           "        check the package layout, settings and names, that every compressed\n"
           "        slot expands to exactly its expandedSize, and what build would refuse\n"
           "        or warn for; one line per fault\n"
           "\n"
           "Implode streams:\n"
           "  implode [--ascii] [--dict 1024|2048|4096] IN OUT\n"
           "        compress IN (binary literals and a 4096-byte dictionary by default)\n"
           "  explode IN OUT\n"
           "        expand IN\n"
           "\n"
           "Screen saver data files and movies:\n"
           "  ssd ...   see 'saverpack ssd --help'\n"
           "  swf ...   see 'saverpack swf --help'\n"
           "\n"
           "Other:\n"
           "  help COMMAND, COMMAND --help\n"
           "                   the help of one command (\"saverpack help ssd build\")\n"
           "  --help, -h       this text\n"
           "  --version, -V    the tool's version and the codec it was built with\n"
           "\n"
           "Exit status: 0 success, 1 a fault in the input or an I/O error, 2 a usage error.\n";
}

std::string versionText() {
    return std::string("saverpack ") + SSI_VERSION_TEXT + "\n" +
           "codec: " SSI_CODEC_NAME " " SSI_CODEC_VERSION_TEXT " (built in; the same code as impborl.dll)\n" +
           "zlib " + zlibVersion() + " (movie inflation)\n";
}

int runSaverpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2) {
        err << usageText();
        return kExitUsage;
    }
    const std::string& verb = args[1];
    if (verb == "--help" || verb == "-h") {
        out << usageText();
        return kExitOk;
    }
    int exitCode = kExitOk;
    if (answerHelp(std::vector<std::string>(args.begin() + 1, args.end()), out, err, exitCode))
        return exitCode;
    if (verb == "ssd") return runSsd(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    if (verb == "swf") return runSwf(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    if (verb == "--version" || verb == "-V") {
        if (args.size() != 2) return usageError(err, verb + " takes no arguments");
        out << versionText();
        return kExitOk;
    }
    if (verb == "build") return commandBuild(args, out, err);
    if (verb == "list") return commandList(args, out, err);
    if (verb == "extract") return commandExtract(args, out, err);
    if (verb == "verify") return commandVerify(args, out, err);
    if (verb == "implode") return commandImplode(args, out, err);
    if (verb == "explode") return commandExplode(args, out, err);
    return usageError(err, "unknown command '" + printable(verb) + "'" +
                               didYouMean(verb, {"build", "list", "extract", "verify", "implode", "explode",
                                                 "ssd", "swf", "help"}));
}

}  // namespace ssi::tool
