#include "tools/saverpack/ssd_support.h"

#include "tools/saverpack/help.h"
#include "tools/saverpack/safe_output.h"

namespace ssi::tool {

std::string ssdUsage() {
    return verbHelp("ssd");
}

std::vector<std::string> splitName(const std::string& name) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t cut; (cut = name.find('\\', start)) != std::string::npos; start = cut + 1)
        parts.push_back(name.substr(start, cut - start));
    parts.push_back(name.substr(start));
    return parts;
}

bool SsdReader::open(const std::string& path, std::ostream& err) {
    auto fail = [&](const std::string& why) {
        err << "saverpack ssd: " << printable(path) << ": " << why << "\n";
        return false;
    };
    if (files_.openFile(path, FileAccess::Read, file_) != rc::kOk) return fail("cannot be opened");
    DataFileFault fault = DataFileFault::None;
    if (readDataFileTable(*file_, table_, fault) == rc::kOk) return true;
    if (fault == DataFileFault::None) return fail("cannot be read");
    return fail(dataFileFaultText(fault, table_.record.itemCount()));
}

std::string SsdReader::chunk(size_t i, DataChunk& chunk, bool& decoded) {
    DataFileFault fault = DataFileFault::None;
    const Result read = readItemChunk(*file_, table_.fileSize, table_.items[i], chunk, fault);
    decoded = read == rc::kOk || (fault != DataFileFault::None && fault != DataFileFault::ChunkOutsideFile);
    if (read == rc::kOk) return std::string();
    return fault == DataFileFault::None ? "chunk cannot be read" : dataFileFaultText(fault, count());
}

}  // namespace ssi::tool
