#include "platform/fake/fake_profile.h"

#include <sstream>

#include "core/names.h"
#include "platform/fake/fake_os.h"
#include "platform/fake/file_store.h"

namespace ssi {

namespace {

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool isSection(const std::string& l) {
    const std::string t = trim(l);
    return !t.empty() && t.front() == '[' && t.find(']') != std::string::npos;
}

std::string sectionName(const std::string& l) {
    const std::string t = trim(l);
    return trim(t.substr(1, t.find(']') - 1));
}

std::string keyOf(const std::string& l) {
    const size_t eq = l.find('=');
    return eq == std::string::npos ? std::string() : trim(l.substr(0, eq));
}

}  // namespace

Result FakeProfile::writeString(const std::string& file, const std::string& section, const std::string& key,
                                const std::string& value) {
    const std::string path = resolve(file);
    if (Result e = os_.injected(Op::ProfileWrite, path)) return e;
    std::vector<std::string> lines = readLines(path);
    int sectionLine = -1, end = int(lines.size());
    for (int i = 0; i < int(lines.size()); ++i) {
        if (isSection(lines[i])) {
            if (sectionLine >= 0) {
                end = i;
                break;
            }
            if (lowerCase(sectionName(lines[i])) == lowerCase(section)) sectionLine = i;
        }
    }
    const std::string line = key + "=" + value;
    if (sectionLine < 0) {
        lines.push_back("[" + section + "]");
        lines.push_back(line);
    } else {
        bool replaced = false;
        for (int i = sectionLine + 1; i < end && !replaced; ++i)
            if (lowerCase(keyOf(lines[i])) == lowerCase(key)) {
                lines[i] = line;
                replaced = true;
            }
        if (!replaced) {
            int at = end;
            while (at > sectionLine + 1 && trim(lines[at - 1]).empty()) --at;
            lines.insert(lines.begin() + at, line);
        }
    }
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    return os_.fileStore().store(path, text);
}

Result FakeProfile::readString(const std::string& file, const std::string& section, const std::string& key,
                               std::string& out) {
    out.clear();
    const std::string path = resolve(file);
    if (Result e = os_.injected(Op::ProfileRead, path)) return e;
    bool inSection = false;
    for (const std::string& l : readLines(path)) {
        if (isSection(l)) {
            inSection = lowerCase(sectionName(l)) == lowerCase(section);
            continue;
        }
        if (inSection && lowerCase(keyOf(l)) == lowerCase(key) && l.find('=') != std::string::npos) {
            out = trim(l.substr(l.find('=') + 1));
            return 0;
        }
    }
    return oserr::kFileNotFound;
}

std::string FakeProfile::resolve(const std::string& file) const {
    if (file.find_first_of("\\/:") != std::string::npos) return file;
    return withTrailingBackslash(os_.windowsDir) + file;
}

std::vector<std::string> FakeProfile::readLines(const std::string& path) const {
    std::vector<std::string> lines;
    std::istringstream in(os_.readFile(path));
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    return lines;
}

}  // namespace ssi
