// "saverpack ssd init-record OUT [--mode N] [--force]": a default settings
// record for "ssd build --record", so that an author need not make 1,240
// bytes by hand. The installer reads only the item count (set by ssd build)
// and the presentation mode; the rest is the saver's own and starts zero.
#include <cstring>

#include "package/data_file_format.h"
#include "tools/saverpack/commands.h"
#include "tools/saverpack/help.h"
#include "tools/saverpack/safe_output.h"
#include "tools/saverpack/ssd_support.h"
#include "tools/saverpack/tool_support.h"

namespace ssi::tool {

int ssdInitRecord(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> positional;
    bool force = false;
    int32_t mode = 8;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--force") {
            force = true;
        } else if (args[i] == "--mode") {
            const std::string n = i + 1 < args.size() ? args[++i] : std::string();
            if (n.empty() || n.size() > 3 || n.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(n) > 255)
                return ssdUsageError(err, "init-record", "--mode takes a presentation mode from 0 to 255");
            mode = std::stoi(n);
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return ssdUsageError(err, "init-record", "unknown option " + printable(args[i]));
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 1) return ssdUsageError(err, "init-record", "init-record takes OUT");
    const std::string& path = positional[0];
    SaverRecord record{};
    std::memset(record.bytes, 0, sizeof(record.bytes));
    record.setItemCount(0);
    record.setPresentationMode(mode);
    const std::string refusal = outputRefusal(path, {}, force);
    if (!refusal.empty()) {
        err << "saverpack ssd: " << printable(refusal) << "\n";
        return kExitFault;
    }
    std::string error;
    if (!writeWholeFile(path, std::vector<uint8_t>(record.bytes, record.bytes + sizeof(record.bytes)), error,
                        force)) {
        err << "saverpack ssd: " << printable(error) << "\n";
        return kExitFault;
    }
    out << printable(path) << ": settings record, " << sizeof(record.bytes) << " bytes, presentation mode "
        << mode << "\n";
    return kExitOk;
}

}  // namespace ssi::tool
