// Directory and whole-file operations of the runtime.
#include "runtime/file_system.hpp"

#include "runtime/io_error.hpp"
#include "runtime/platform.hpp"

std::string CurrentDirectory() { return platform::CurrentDirectory(); }
void ChangeDirectory(std::string_view path) { SetIoError(platform::ChangeDirectory(path)); }
void MakeDirectory(std::string_view path) { SetIoError(platform::MakeDirectory(path)); }
void RemoveFile(std::string_view path) { SetIoError(platform::FileDelete(path)); }
void PutInPlace(std::string_view from, std::string_view to) { SetIoError(platform::FileReplace(from, to)); }

FlagResult CreateFlagFile(std::string_view path, std::string_view content) {
    platform::Handle handle = platform::kNoHandle;
    if (const int error = platform::FileCreateNew(path, platform::Access::ReadWrite, handle))
        return platform::MeansAlreadyExists(error) ? FlagResult::Exists : FlagResult::Failed;
    // The flag holds whatever could be written; its being there is what counts.
    platform::FileWrite(handle, content.data(), static_cast<int>(content.size()));
    platform::FileClose(handle);
    return FlagResult::Created;
}

void ProbeOpenClose(std::string_view name, platform::Access access) {
    if (name.empty()) return;
    platform::Handle handle = platform::kNoHandle;
    if (int error = platform::FileOpen(name, access, handle)) return SetIoError(error);
    SetIoError(platform::FileClose(handle));
}
