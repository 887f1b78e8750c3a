// Temporary folders for the tests.
#include "support/scratch.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "tolvex-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    // Open to the unprivileged user that the permission cases run as.
    chmod(path_.c_str(), 0777);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    // Folders made read-only by a test must be opened again to be removed.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) fs::permissions(it->path(), fs::perms::all, ignored);
    fs::remove_all(path_, ignored);
}

void ScratchDir::Write(std::string_view relative, std::string_view bytes) const {
    const fs::path file = At(relative);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ScratchDir::Read(std::string_view relative) const { return ReadFile(At(relative)); }

bool ScratchDir::Exists(std::string_view relative) const {
    struct stat info {};
    return lstat(At(relative).c_str(), &info) == 0;
}

void ScratchDir::MakeDir(std::string_view relative) const { fs::create_directories(At(relative)); }

std::vector<std::string> TreeBelow(const std::string& folder) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::string name = entry.path().lexically_relative(folder).string();  // a link named, not followed
        if (entry.is_directory() && !entry.is_symlink()) name += "/";
        entries.push_back(name);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::vector<std::string> ScratchDir::Tree() const { return TreeBelow(path_); }

std::string WinePath(const std::string& path) {
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}
