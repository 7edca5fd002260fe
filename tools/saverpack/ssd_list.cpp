// "saverpack ssd list FILE": a data file's settings and item table, with what
// the installer would refuse.
#include <iomanip>

#include "tools/saverpack/codepage.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/help.h"
#include "tools/saverpack/name_rules.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/ssd_support.h"

namespace ssi::tool {

int ssdList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 3) return ssdUsageError(err, "list", "list takes FILE");
    SsdReader reader;
    if (!reader.open(args[2], err)) return kExitFault;
    out << printable(args[2]) << ": " << reader.count() << " items, presentation mode "
        << reader.record().presentationMode() << ", " << reader.size() << " bytes\n";
    out << std::setw(5) << "index" << std::setw(6) << "kind" << std::setw(14) << "chunk offset"
        << std::setw(12) << "expanded" << std::setw(12) << "stored"
        << "  " << std::left << std::setw(12) << "compressed" << std::right << "name\n";
    int status = kExitOk;
    for (size_t i = 0; i < reader.items().size(); ++i) {
        const DataItem& item = reader.items()[i];
        DataChunk chunk{};
        bool decoded = false;
        const std::string fault = reader.chunk(i, chunk, decoded);
        out << std::setw(5) << (i + 1) << std::setw(6) << int(item.kind) << std::setw(14) << item.chunkOffset;
        if (decoded)
            out << std::setw(12) << chunk.expandedSize << std::setw(12) << chunk.storedSize << "  "
                << std::left << std::setw(12) << (chunk.compressed ? "yes" : "no") << std::right;
        else
            out << std::setw(12) << "-" << std::setw(12) << "-"
                << "  " << std::left << std::setw(12) << "-" << std::right;
        out << printable(toUtf8(item.itemName(), kDefaultCodePage)) << "\n";
        if (!fault.empty()) {
            err << "saverpack ssd: item " << (i + 1) << ": " << fault << "\n";
            status = kExitFault;
        }
        if (!item.itemName().empty() && !isSafeItemName(item.itemName())) {
            err << "saverpack ssd: item " << (i + 1) << ": the installer refuses the name '"
                << printable(toUtf8(item.itemName(), kDefaultCodePage)) << "': " << pathProblem(item.itemName()) << "\n";
            status = kExitFault;
        }
    }
    return status;
}

}  // namespace ssi::tool
