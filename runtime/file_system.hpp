// Files and folders. The sysop's own files (the configuration, lists) are
// opened by their paths. Below OUTBOUND, and for the log's own name, others
// may put names too (the mailer's account, its group): there every file and
// folder is reached through a folder the run holds open, never by a path
// looked up again, and what is found is checked once, where its handle is
// taken, by one rule (MayUse).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.hpp"

// Closes a handle whose closing tells the run nothing it needs: a folder, a
// file only read, or one given up on the way to a stop.
void LetGo(platform::Handle handle);

// Whether a file of the sysop's can be opened for reading, which is all the
// run does with one. A folder and the empty name never exist.
bool FileExists(std::string_view path);

// The rule for what is found where others may put names: a link is followed
// only when it is the run's user's or the system's (root; the Administrators
// group or SYSTEM): anyone else's would steer the run to a file of their
// choosing. A file is used only when it is a file on a disk with one name: a
// FIFO would hold the run, a device swallow the requests, and a second name
// (a hard link) may be anybody's file. A folder only when it is one.
bool MayFollow(platform::Owner owner);
bool MayUse(const platform::Facts& facts, bool folder);

struct Place;
class HeldFile;

// A folder the run holds open.
class HeldFolder {
public:
    HeldFolder() = default;
    HeldFolder(HeldFolder&& other) noexcept;  // held by one at a time: never copied
    HeldFolder& operator=(HeldFolder&& other) noexcept;
    ~HeldFolder();

    // A folder of the sysop's own choosing (OUTBOUND, the log's folder), by
    // its path, as the system finds it.
    [[nodiscard]] int Open(std::string_view path);
    // The folder at `path` inside this one (names separated by "\" or "/",
    // none for this folder itself), each name checked; the last one made when
    // it is missing and `make` asks for it.
    [[nodiscard]] int Enter(std::string_view path, bool make, HeldFolder& into) const;

    bool IsOpen() const { return handle_ != platform::kNoHandle; }
    platform::Handle Handle() const { return handle_; }

private:
    friend int OpenFile(const Place& place, platform::Access access, HeldFile& file);
    friend int MakeFile(const Place& place, platform::Access access, platform::Handle& handle);
    static int Step(platform::Handle at, std::string& name, platform::Want want, platform::Handle& entry,
                    HeldFolder& elsewhere);
    platform::Handle handle_ = platform::kNoHandle;
};

// A name in a held folder: the only way to a file below OUTBOUND or to the
// log. It is made from a held folder and a name, never from a path.
struct Place {
    Place(const HeldFolder& folder, std::string name) : Folder(&folder), Name(std::move(name)) {}
    const HeldFolder* Folder;
    std::string Name;
};

// An existing file opened through a place, and where it really is: at the
// place, or where a link there led (that folder then held here).
class HeldFile {
public:
    HeldFile() = default;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();

    platform::Handle Handle() const { return handle_; }
    // The handle, no longer this file's to close.
    platform::Handle Release();
    // Takes the handle of the same file, opened anew, in place of its own.
    void Reset(platform::Handle handle);
    // The folder that holds it and its name there.
    const HeldFolder& Folder() const { return elsewhere_.IsOpen() ? elsewhere_ : *folder_; }
    const std::string& Name() const { return name_; }
    // Reached through a link the rule lets be followed.
    bool Followed() const { return elsewhere_.IsOpen(); }

private:
    friend int OpenFile(const Place& place, platform::Access access, HeldFile& file);
    friend int OpenOrMakeFile(const Place& place, platform::Access access, HeldFile& file, bool& made);
    platform::Handle handle_ = platform::kNoHandle;
    const HeldFolder* folder_ = nullptr;
    HeldFolder elsewhere_;
    std::string name_;
};

// An existing file: a link followed as the rule allows, and the file used only
// as it allows.
[[nodiscard]] int OpenFile(const Place& place, platform::Access access, HeldFile& file);
// The existing file, as OpenFile opens it, or a new one when there is none
// (`made`); one that another program makes meanwhile is opened.
[[nodiscard]] int OpenOrMakeFile(const Place& place, platform::Access access, HeldFile& file, bool& made);
// A new file, never one whose name is there already (a link, whoever's,
// counts as there).
[[nodiscard]] int MakeFile(const Place& place, platform::Access access, platform::Handle& handle);
// Removes the name from its folder (a link there, not what it leads to).
[[nodiscard]] int RemoveFile(const Place& place);
