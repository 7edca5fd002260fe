#include "tools/saverpack/help.h"

#include "tools/saverpack/commands.h"
#include "tools/saverpack/suggest.h"

namespace ssi::tool {

namespace {

struct Topic {
    const char* name;
    const char* text;
};

const Topic kTopics[] = {
    {"build",
     "usage: saverpack build STUB MANIFEST OUT [--impborl PATH] [--werror] [--dry-run] [--force]\n"
     "\n"
     "Makes the installer OUT from the program image STUB (install.exe) and a TOML\n"
     "manifest (the keys: tools/saverpack/README.md). Files the manifest names are\n"
     "read relative to the manifest's folder. Refuses, writing nothing, a package\n"
     "the installer would install wrongly (mode, preview, player installer, saver\n"
     "name, stub), and warns for what it would stretch or store.\n"
     "\n"
     "  --impborl PATH  the decompression library for slot 1 (default: impborl.dll\n"
     "                  beside STUB) unless the manifest gives [slots.1]\n"
     "  --werror        warnings are errors: nothing is written\n"
     "  --dry-run       print the settings and slot table it would write; write nothing\n"
     "  --force         replace OUT when it exists; OUT is never the stub, the\n"
     "                  manifest or a file the manifest names, nor a folder\n"},
    {"list",
     "usage: saverpack list FILE\n"
     "\n"
     "Prints the installer's settings and its slot table: each slot's stored name,\n"
     "byte range, kind, and sizes.\n"},
    {"extract",
     "usage: saverpack extract FILE DIR [--slot N] [--force]\n"
     "\n"
     "Writes every used slot 1..10 (or only slot N, 0 to 10) of the installer FILE,\n"
     "expanded, into DIR under its stored name. Nothing is extracted from a package\n"
     "the installer refuses, or one that names a file twice.\n"
     "\n"
     "  --slot N   only slot N\n"
     "  --force    replace files that exist in DIR (never without it)\n"},
    {"verify",
     "usage: saverpack verify FILE [--werror]\n"
     "\n"
     "Checks the package layout, settings and names of the installer FILE, that\n"
     "every compressed slot expands to exactly its expandedSize, and what build\n"
     "would refuse or warn for. Prints one line per fault or warning, or\n"
     "\"FILE: ok\"; exit status 1 when there is a fault.\n"
     "\n"
     "  --werror   warnings count as faults\n"},
    {"implode",
     "usage: saverpack implode [--ascii] [--dict 1024|2048|4096] IN OUT\n"
     "\n"
     "Compresses IN into the implode stream OUT (the format of impborl.dll).\n"
     "\n"
     "  --ascii        literals coded for text (default: binary)\n"
     "  --dict SIZE    dictionary of 1024, 2048 or 4096 bytes (default 4096)\n"},
    {"explode",
     "usage: saverpack explode IN OUT\n"
     "\n"
     "Expands the implode stream IN into OUT; OUT is written only when IN is a\n"
     "complete stream.\n"},
    {"help",
     "usage: saverpack help [COMMAND]\n"
     "\n"
     "Prints the help of COMMAND (\"build\", \"ssd list\", ...), or the list of commands.\n"
     "\"saverpack COMMAND --help\" prints the same.\n"},
    {"ssd",
     "usage: saverpack ssd build (DIR | MANIFEST.toml) --record RECORD_FILE [--store] [--first NAME] OUT\n"
     "       saverpack ssd list FILE\n"
     "       saverpack ssd extract FILE DIR [--force]\n"
     "       saverpack ssd init-record OUT [--mode N] [--force]\n"
     "\n"
     "Screen saver data files (.ssd, slot 8): the saver's own media and its settings\n"
     "record. \"saverpack ssd VERB --help\" for each verb; the format:\n"
     "tools/saverpack/README-ssd.md.\n"},
    {"ssd build",
     "usage: saverpack ssd build (DIR | MANIFEST.toml) --record RECORD_FILE [--store] [--first NAME] OUT\n"
     "\n"
     "Makes the data file OUT from every file below DIR, or from the [[item]] tables\n"
     "of an item manifest.\n"
     "\n"
     "  --record FILE  the saver's settings record, exactly 1,240 bytes (required;\n"
     "                 \"saverpack ssd init-record\" writes a default one)\n"
     "  --store        store items that would be compressed\n"
     "  --first NAME   put item NAME first\n"},
    {"ssd list",
     "usage: saverpack ssd list FILE\n"
     "\n"
     "Prints the data file's item count, presentation mode and item table, and what\n"
     "the installer would refuse.\n"},
    {"ssd extract",
     "usage: saverpack ssd extract FILE DIR [--force]\n"
     "\n"
     "Writes every item the installer would write below DIR, refusing what the\n"
     "installer refuses. Nothing is extracted from a file that names an item twice.\n"
     "\n"
     "  --force    replace files that exist below DIR (never without it)\n"},
    {"ssd init-record",
     "usage: saverpack ssd init-record OUT [--mode N] [--force]\n"
     "\n"
     "Writes a default settings record of 1,240 bytes for \"ssd build --record\":\n"
     "zero but for the presentation mode.\n"
     "\n"
     "  --mode N   the presentation mode (default 8); 3 makes item 1 the installer's\n"
     "             preview movie\n"
     "  --force    replace OUT when it exists\n"},
    {"swf",
     "usage: saverpack swf info FILE\n"
     "\n"
     "SWF movies: \"saverpack swf info --help\".\n"},
    {"swf info",
     "usage: saverpack swf info FILE\n"
     "\n"
     "Prints what the installer's inspection of a preview movie sees (signature,\n"
     "version, length, whether it inflates) and its verdict; exit status 0 when the\n"
     "installer accepts the movie, 1 when it refuses it.\n"},
};

bool isHelpFlag(const std::string& word) {
    return word == "--help" || word == "-h";
}

// Options whose next word is their value, which is never a help request.
bool takesValue(const std::string& word) {
    return word == "--impborl" || word == "--slot" || word == "--dict" || word == "--record" ||
           word == "--first" || word == "--mode";
}

}  // namespace

std::string verbHelp(const std::string& topic) {
    for (const Topic& t : kTopics)
        if (topic == t.name) return t.text;
    return std::string();
}

std::vector<std::string> helpTopics() {
    std::vector<std::string> names;
    for (const Topic& t : kTopics) names.push_back(t.name);
    return names;
}

bool answerHelp(const std::vector<std::string>& words, std::ostream& out, std::ostream& err, int& exitCode) {
    if (words.empty()) return false;
    const bool group = words[0] == "ssd" || words[0] == "swf";
    // "help TOPIC..." and "ssd help VERB".
    size_t from = 0;
    std::string prefix;
    if (words[0] == "help") {
        from = 1;
    } else if (group && words.size() >= 2 && words[1] == "help") {
        from = 2;
        prefix = words[0];
    }
    if (from != 0) {
        std::string topic = prefix;
        bool flag = false;
        for (size_t i = from; i < words.size(); ++i) {
            if (isHelpFlag(words[i]))
                flag = true;
            else
                topic += (topic.empty() ? "" : " ") + words[i];
        }
        if (topic.empty() && flag) topic = "help";  // "help --help"
        if (topic.empty()) {
            out << usageText();
            exitCode = kExitOk;
            return true;
        }
        const std::string text = verbHelp(topic);
        if (text.empty()) {
            err << "saverpack: no help on '" << topic << "'" << didYouMean(topic, helpTopics()) << "\n"
                << "Try 'saverpack help'.\n";
            exitCode = kExitUsage;
            return true;
        }
        out << text;
        exitCode = kExitOk;
        return true;
    }
    // "VERB ... --help": the flag anywhere but as an option's value.
    bool asked = false;
    for (size_t i = 1; i < words.size() && !asked; ++i) {
        if (takesValue(words[i]))
            ++i;
        else
            asked = isHelpFlag(words[i]);
    }
    if (!asked) return false;
    std::string topic = words[0];
    if (group && words.size() >= 2 && !verbHelp(words[0] + " " + words[1]).empty()) topic += " " + words[1];
    const std::string text = verbHelp(topic);
    if (text.empty()) return false;  // an unknown verb: its own error
    out << text;
    exitCode = kExitOk;
    return true;
}

int ssdUsageError(std::ostream& err, const std::string& verb, const std::string& text) {
    err << "saverpack ssd: " << text << "\n"
        << "Try 'saverpack ssd " << verb << " --help'.\n";
    return kExitUsage;
}

}  // namespace ssi::tool
