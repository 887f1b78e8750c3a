// Finding the program's paths on a POSIX file system, each folder once a run.
#include "runtime/posix/path_map.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <vector>

namespace path_map {
namespace {

struct Folder {
    bool Listed = false;               // Entries holds every entry, not only those found
    std::vector<std::string> Entries;  // every entry but "." and ".." known to be there
};

// What the run knows of each folder, by its mapped path.
std::map<std::string, Folder>& Cache() {
    static std::map<std::string, Folder> folders;
    return folders;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

std::string Lower(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = LowerChar(c);
    return lower;
}

std::string Join(const std::string& folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    if (folder.back() == '/') return folder + std::string(name);
    return folder + "/" + std::string(name);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string NameOf(const std::string& mapped) { return mapped.substr(mapped.rfind('/') + 1); }

// The entries of a folder that can be read; false when it cannot.
bool List(const std::string& folder, std::vector<std::string>& entries) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return false;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") entries.emplace_back(name);
    }
    closedir(dir);
    return true;
}

// Of a folder's entries, the one that stands for `name`: its lower-case
// spelling, the name as given, or the first that matches it in byte order.
std::string Pick(const std::vector<std::string>& entries, std::string_view name) {
    const std::string lower = Lower(name);
    std::string first;
    for (const std::string& entry : entries) {
        if (entry == lower) return lower;
        if (!SameIgnoringCase(entry, name)) continue;
        if (entry == name || first.empty() || (first != name && entry < first)) first = entry;
    }
    return first;
}

bool Knows(const Folder& known, const std::string& name) {
    return std::find(known.Entries.begin(), known.Entries.end(), name) != known.Entries.end();
}

// The entry of `folder` that stands for `name`, or "" for none. A folder of
// a path (`fresh` false) is taken from what is known of its folder; a last
// component is looked for anew unless its folder was listed. Found in one of
// its two likely spellings, a name costs one or two probes; only a name in
// neither has the folder read.
std::string Lookup(const std::string& folder, std::string_view name, bool fresh) {
    if (name == "." || name == "..") return std::string(name);
    Folder& known = Cache()[folder];
    const std::string lower = Lower(name);
    if (!known.Listed) {
        if (!fresh && Knows(known, lower)) return lower;
        if (!fresh && Knows(known, std::string(name))) return std::string(name);
        for (const std::string& spelling : {lower, std::string(name)})
            if (Exists(Join(folder, spelling))) {
                if (!Knows(known, spelling)) known.Entries.push_back(spelling);
                return spelling;
            }
        std::vector<std::string> all;
        if (!List(folder, all)) return {};
        known = Folder{true, std::move(all)};
    }
    return Pick(known.Entries, name);
}

}  // namespace

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string FolderOf(const std::string& mapped) {
    const std::size_t slash = mapped.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : mapped.substr(0, slash);
}

std::string MapPath(std::string_view path, Purpose purpose, bool* found) {
    std::string mapped = (!path.empty() && (path.front() == '\\' || path.front() == '/')) ? "/" : "";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view name = path.substr(start, end - start);
        const bool last = end == path.size();
        if (!name.empty()) {
            std::string entry = Lookup(mapped, name, last);
            if (last && found != nullptr) *found = !entry.empty();
            if (entry.empty()) entry = last && purpose == Purpose::Create ? Lower(name) : std::string(name);
            mapped = Join(mapped, entry);
        }
        start = end + 1;
    }
    return mapped;
}

std::size_t MappedOffset(std::string_view path, std::size_t from, const std::string& mapped) {
    if (from >= path.size()) return std::string::npos;
    // The components of `path` that begin before `from`, skipped in `mapped` one by one.
    std::size_t before = 0;
    for (std::size_t at = 0; at < from;) {
        const std::size_t end = std::min(path.find_first_of("\\/", at), path.size());
        if (end > at) ++before;
        at = end + 1;
    }
    std::size_t at = mapped.starts_with('/') ? 1 : 0;
    for (; before > 0 && at < mapped.size(); --before) {
        const std::size_t slash = mapped.find('/', at);
        if (slash == std::string::npos) return std::string::npos;
        at = slash + 1;
    }
    return at < mapped.size() ? at : std::string::npos;
}

int Record(int error, const std::string& mapped, Change change) {
    if (error != 0 && !(error == EEXIST && change != Change::Removed)) return error;
    const std::string name = NameOf(mapped);
    std::vector<std::string>& entries = Cache()[FolderOf(mapped)].Entries;
    std::erase(entries, name);
    if (change != Change::Removed) entries.push_back(name);
    if (change == Change::MadeFolder && error == 0)
        Cache()[mapped] = Folder{true, {}};
    else
        Cache().erase(mapped);
    return error;
}

}  // namespace path_map
