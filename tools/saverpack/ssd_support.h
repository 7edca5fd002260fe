// What the "saverpack ssd" verbs share: their usage text and the data file
// opened through the installer's own reader (package/data_file.h) over the
// host's files, so that a file that lists and extracts cleanly here installs
// cleanly. Each verb has its own file (ssd_build.cpp, ssd_list.cpp,
// ssd_extract.cpp).
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "package/data_file.h"
#include "tools/saverpack/host_files.h"

namespace ssi::tool {

std::string ssdUsage();

// A container name's folders and file name ("a\\b.txt" -> {"a", "b.txt"}).
std::vector<std::string> splitName(const std::string& name);

// An open data file, checked the way the installer checks it.
class SsdReader {
public:
    // Reads the record and the item table; a problem goes to err.
    [[nodiscard]] bool open(const std::string& path, std::ostream& err);
    // The chunk of item i (0-based): "" or why it cannot be used. `decoded`
    // says whether the chunk's fields were read (even when they are refused).
    std::string chunk(size_t i, DataChunk& chunk, bool& decoded);

    File& file() { return *file_; }
    int64_t size() const { return table_.fileSize; }
    const SaverRecord& record() const { return table_.record; }
    int32_t count() const { return int32_t(table_.items.size()); }
    const std::vector<DataItem>& items() const { return table_.items; }

private:
    HostFiles files_;
    std::unique_ptr<File> file_;
    DataFileTable table_;
};

[[nodiscard]] int ssdBuild(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
[[nodiscard]] int ssdList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
[[nodiscard]] int ssdExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
[[nodiscard]] int ssdInitRecord(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ssi::tool
