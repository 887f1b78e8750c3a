// Directory operations of the runtime.
#include "runtime/directories.hpp"

#include "runtime/io_error.hpp"
#include "runtime/platform.hpp"

std::string CurrentDirectory() { return platform::CurrentDirectory(); }
void ChangeDirectory(std::string_view path) { SetIoError(platform::ChangeDirectory(path)); }
void MakeDirectory(std::string_view path) { SetIoError(platform::MakeDirectory(path)); }
void RemoveFile(std::string_view path) { SetIoError(platform::FileDelete(path)); }
void PutInPlace(std::string_view from, std::string_view to) { SetIoError(platform::FileReplace(from, to)); }
