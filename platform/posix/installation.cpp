// Where the installation the program was built for keeps the program and its
// configuration (TOLVEX_PROGRAM_FOLDER, TOLVEX_CONFIG_FOLDER): the one part of
// the POSIX platform that each kind of installation compiles on its own (the
// package's program links its own in place of this one).
#include "platform/platform.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

namespace TOLVEX_PLATFORM {
namespace {

// Whether the program runs from the installation's program folder, the one it
// was built to be installed in: the same folder, however either path reaches it.
bool RunsInstalled() {
    std::string file = ProgramPath();
    std::replace(file.begin(), file.end(), '\\', '/');
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) return false;
    struct stat folder {}, installed {};
    return stat(file.substr(0, slash + 1).c_str(), &folder) == 0 && stat(TOLVEX_PROGRAM_FOLDER, &installed) == 0 &&
           folder.st_dev == installed.st_dev && folder.st_ino == installed.st_ino;
}

}  // namespace

// The installation's configuration folder is fixed when the program is built,
// and belongs to the installed program alone: a copy kept elsewhere, with its
// own configuration missing or misnamed, would otherwise run on the machine's
// configuration and write into another network's outbound.
std::vector<std::string> ConfigurationFolders() {
    std::vector<std::string> folders;
    if (!RunsInstalled()) return folders;
    for (std::string folder : {std::string(TOLVEX_CONFIG_FOLDER), std::string("/etc")}) {
        std::replace(folder.begin(), folder.end(), '/', '\\');
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    return folders;
}

}  // namespace TOLVEX_PLATFORM
