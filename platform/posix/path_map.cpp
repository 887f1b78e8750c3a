// Finding the program's names on a POSIX file system, each folder once a run.
#include "platform/posix/path_map.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

namespace path_map {
namespace {

struct Folder {
    bool Listed = false;               // Entries holds every entry, not only those found
    std::vector<std::string> Entries;  // every entry but "." and ".." known to be there
};

// What the run knows of each folder it finds by path, and of each it holds.
std::map<std::string, Folder>& ByPath() {
    static std::map<std::string, Folder> folders;
    return folders;
}
std::map<int, Folder>& Held() {
    static std::map<int, Folder> folders;
    return folders;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

std::string Join(const std::string& folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    if (folder.back() == '/') return folder + std::string(name);
    return folder + "/" + std::string(name);
}

// The entries of an open folder stream, which is closed.
bool Read(DIR* dir, std::vector<std::string>& entries) {
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

// The entry of a folder that stands for `name`, or "" for none: from what is
// known of the folder unless `fresh`, else looked for anew unless the folder
// was listed. Found in one of its two likely spellings, a name costs one or
// two probes (`exists`); only a name in neither has the folder read (`list`).
template <typename Exists, typename List>
std::string Lookup(Folder& known, std::string_view name, bool fresh, Exists exists, List list) {
    if (name == "." || name == "..") return std::string(name);
    const std::string lower = Lower(name);
    if (!known.Listed) {
        if (!fresh && Knows(known, lower)) return lower;
        if (!fresh && Knows(known, std::string(name))) return std::string(name);
        std::vector<std::string> spellings{lower};
        if (name != lower) spellings.emplace_back(name);
        for (const std::string& spelling : spellings)
            if (exists(spelling)) {
                if (!Knows(known, spelling)) known.Entries.push_back(spelling);
                return spelling;
            }
        std::vector<std::string> all;
        if (!list(all)) return {};
        known = Folder{true, std::move(all)};
    }
    return Pick(known.Entries, name);
}

}  // namespace

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string Lower(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = LowerChar(c);
    return lower;
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
            const auto exists = [&](const std::string& spelling) {
                struct stat info {};
                return lstat(Join(mapped, spelling).c_str(), &info) == 0;
            };
            const auto list = [&](std::vector<std::string>& all) {
                return Read(opendir(mapped.empty() ? "." : mapped.c_str()), all);
            };
            std::string entry = Lookup(ByPath()[mapped], name, last, exists, list);
            if (last && found != nullptr) *found = !entry.empty();
            if (entry.empty()) entry = last && purpose == Purpose::Create ? Lower(name) : std::string(name);
            mapped = Join(mapped, entry);
        }
        start = end + 1;
    }
    return mapped;
}

// The entries of a held folder, read through a descriptor of its own.
bool ReadHeld(int folder, std::vector<std::string>& all) {
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) close(fd);
    return Read(dir, all);
}

std::string FindIn(int folder, std::string_view name) {
    const auto exists = [&](const std::string& spelling) {
        struct stat info {};
        return fstatat(folder, spelling.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    };
    return Lookup(Held()[folder], name, true, exists, [&](std::vector<std::string>& all) { return ReadHeld(folder, all); });
}

bool ListIn(int folder, std::vector<std::string>& names) {
    Folder& known = Held()[folder];
    std::vector<std::string> all;
    if (!known.Listed && !ReadHeld(folder, all)) return false;
    if (!known.Listed) known = Folder{true, std::move(all)};
    names.insert(names.end(), known.Entries.begin(), known.Entries.end());
    return true;
}

void RecordIn(int folder, const std::string& name, Change change) {
    std::vector<std::string>& entries = Held()[folder].Entries;
    std::erase(entries, name);
    if (change == Change::Made) entries.push_back(name);
}

void KnownEmpty(int folder) { Held()[folder] = Folder{true, {}}; }

void Forget(int folder) { Held().erase(folder); }

}  // namespace path_map
