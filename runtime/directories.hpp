// Directory operations whose failures become the pending I/O error.
#pragma once

#include <string>
#include <string_view>

std::string CurrentDirectory();
void ChangeDirectory(std::string_view path);  // the empty path succeeds without a call
void MakeDirectory(std::string_view path);    // one level; an existing one is a failure too
void RemoveFile(std::string_view path);
void PutInPlace(std::string_view from, std::string_view to);
