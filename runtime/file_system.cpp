// Files and folders, and the rule for what is found where others may put names.
#include "runtime/file_system.hpp"

#include <utility>

namespace {

// As many links in a row as a system follows before it gives up.
constexpr int kMostLinks = 40;

// A link's target: the folder it names (the link's own for none, with the
// separator that ends it, so that a root stays a root) and its last name.
std::pair<std::string, std::string> SplitTarget(std::string_view target) {
    while (target.size() > 1 && (target.back() == '/' || target.back() == '\\')) target.remove_suffix(1);
    const std::size_t slash = target.find_last_of("\\/");
    if (slash == std::string_view::npos) return {".", std::string(target)};
    return {std::string(target.substr(0, slash + 1)), std::string(target.substr(slash + 1))};
}

}  // namespace

void LetGo(platform::Handle handle) { [[maybe_unused]] const int closed = platform::FileClose(handle); }

bool FileExists(std::string_view path) {
    if (path.empty()) return false;
    platform::Handle handle = platform::kNoHandle;
    if (platform::FileOpen(path, platform::Access::Read, handle) != 0) return false;
    return platform::FileClose(handle) == 0;
}

bool MayFollow(platform::Owner owner) { return owner == platform::Owner::Run || owner == platform::Owner::System; }

bool MayUse(const platform::Facts& facts, bool folder) {
    if (folder) return facts.What == platform::Kind::Folder;
    return facts.What == platform::Kind::File && facts.Names == 1;
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept : handle_(std::exchange(other.handle_, platform::kNoHandle)) {}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
    if (this != &other) {
        if (IsOpen()) LetGo(handle_);
        handle_ = std::exchange(other.handle_, platform::kNoHandle);
    }
    return *this;
}

HeldFolder::~HeldFolder() {
    if (IsOpen()) LetGo(handle_);
}

int HeldFolder::Open(std::string_view path) {
    HeldFolder opened;
    if (const int error = platform::FolderOpen(path, opened.handle_)) return error;
    *this = std::move(opened);
    return 0;
}

// One name of the folder `at`, opened as `want` asks, where a link there is
// followed only as the rule allows: the system finds the folder its target
// names, which becomes `elsewhere`, and the target's last name there is
// checked again (`name` becomes that name). What is finally opened is used
// only as the rule allows.
int HeldFolder::Step(platform::Handle at, std::string& name, platform::Want want, platform::Handle& entry,
                     HeldFolder& elsewhere) {
    for (int links = 0;; ++links) {
        platform::Facts facts;
        platform::Handle opened = platform::kNoHandle;
        if (const int error = platform::EntryOpen(at, name, want, opened, facts)) return error;
        if (facts.What != platform::Kind::Link) {
            if (MayUse(facts, want.Folder)) {
                entry = opened;
                return 0;
            }
            LetGo(opened);
            return platform::Refused();
        }
        std::string target;
        int error = links < kMostLinks && MayFollow(facts.Whose) ? platform::LinkTarget(opened, target) : platform::Refused();
        LetGo(opened);
        if (error != 0) return error;
        auto [folder, last] = SplitTarget(target);
        HeldFolder next;
        if ((error = platform::FolderOpen(folder, next.handle_, at)) != 0) return error;
        elsewhere = std::move(next);
        at = elsewhere.handle_;
        name = std::move(last);
        want.Exact = true;
        want.Make = false;
    }
}

int HeldFolder::Enter(std::string_view path, bool make, HeldFolder& into) const {
    HeldFolder here;  // the folder reached so far, once it is not this one
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        std::string name(path.substr(start, end - start));
        start = end + 1;
        if (name.empty()) continue;
        platform::Want want;
        want.Folder = true;
        want.Make = make && end == path.size();
        HeldFolder elsewhere, next;
        if (const int error = Step(here.IsOpen() ? here.handle_ : handle_, name, want, next.handle_, elsewhere))
            return error;
        here = std::move(next);
    }
    // No name at all: this folder, held once more.
    if (!here.IsOpen())
        if (const int error = platform::FolderOpen(".", here.handle_, handle_)) return error;
    into = std::move(here);
    return 0;
}

HeldFile::~HeldFile() {
    if (handle_ != platform::kNoHandle) LetGo(handle_);
}

platform::Handle HeldFile::Release() { return std::exchange(handle_, platform::kNoHandle); }

void HeldFile::Reset(platform::Handle handle) {
    if (handle_ != platform::kNoHandle) LetGo(handle_);
    handle_ = handle;
}

int OpenFile(const Place& place, platform::Access access, HeldFile& file) {
    platform::Want want;
    want.Mode = access;
    HeldFolder elsewhere;
    platform::Handle handle = platform::kNoHandle;
    std::string name = place.Name;
    if (const int error = HeldFolder::Step(place.Folder->Handle(), name, want, handle, elsewhere)) return error;
    file.Reset(handle);
    file.folder_ = place.Folder;
    file.elsewhere_ = std::move(elsewhere);
    file.name_ = std::move(name);
    return 0;
}

int OpenOrMakeFile(const Place& place, platform::Access access, HeldFile& file, bool& made) {
    made = false;
    int error = OpenFile(place, access, file);
    if (!platform::MeansMissing(error)) return error;
    platform::Handle handle = platform::kNoHandle;
    error = MakeFile(place, access, handle);
    if (platform::MeansAlreadyExists(error)) return OpenFile(place, access, file);
    if (error != 0) return error;
    file.Reset(handle);
    file.folder_ = place.Folder;
    file.name_ = place.Name;
    made = true;
    return 0;
}

int MakeFile(const Place& place, platform::Access access, platform::Handle& handle) {
    platform::Want want;
    want.Mode = access;
    want.Make = true;
    HeldFolder unused;
    std::string name = place.Name;
    return HeldFolder::Step(place.Folder->Handle(), name, want, handle, unused);
}

int RemoveFile(const Place& place) { return platform::EntryRemove(place.Folder->Handle(), place.Name); }
