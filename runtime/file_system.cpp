// Directory and whole-file operations of the runtime.
#include "runtime/file_system.hpp"

#include "runtime/errors.hpp"
#include "runtime/platform.hpp"

std::string CurrentDirectory() { return platform::CurrentFolder(); }
void ChangeDirectory(std::string_view path) { SetIoError(platform::ChangeFolder(path)); }
void MakeDirectory(platform::Path path) { SetIoError(platform::MakeFolder(path)); }
void RemoveFile(platform::Path path) { SetIoError(platform::FileDelete(path)); }
void PutInPlace(platform::Path from, platform::Path to) { SetIoError(platform::FileReplace(from, to)); }

std::vector<std::string> FolderEntries(platform::Path folder) {
    std::vector<std::string> names;
    if (platform::ListFolder(folder, names) != 0) names.clear();
    return names;
}

FlagResult CreateFlagFile(platform::Path path, std::string_view content) {
    platform::Handle handle = platform::kNoHandle;
    if (const int error = platform::FileCreateNew(path, platform::Access::ReadWrite, handle))
        return platform::MeansAlreadyExists(error) ? FlagResult::Exists : FlagResult::Failed;
    // The flag holds whatever could be written; its being there is what counts.
    platform::FileWrite(handle, content.data(), static_cast<int>(content.size()));
    platform::FileClose(handle);
    return FlagResult::Created;
}

void ProbeOpenClose(platform::Path name, platform::Access access) {
    if (name.Text.empty()) return;
    platform::Handle handle = platform::kNoHandle;
    if (int error = platform::FileOpen(name, access, handle)) return SetIoError(error);
    SetIoError(platform::FileClose(handle));
}
