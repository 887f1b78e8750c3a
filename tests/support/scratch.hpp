// A fresh temporary folder for one test, removed with everything in it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string At(std::string_view relative) const { return path_ + "/" + std::string(relative); }

    void Write(std::string_view relative, std::string_view bytes) const;
    std::string Read(std::string_view relative) const;
    bool Exists(std::string_view relative) const;
    void MakeDir(std::string_view relative) const;
    // Every file and folder below, relative, sorted; folders end in "/".
    std::vector<std::string> Tree() const;

private:
    std::string path_;
};

// A whole file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Every file and folder below `folder`, relative, sorted; folders end in "/".
std::vector<std::string> TreeBelow(const std::string& folder);
// A path as the Windows program sees it under wine.
std::string WinePath(const std::string& path);
