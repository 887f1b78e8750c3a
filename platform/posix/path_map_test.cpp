// Mapping the program's paths onto a POSIX file system.
#include "platform/posix/path_map.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/platform.hpp"
#include "support/scratch.hpp"

namespace {

using path_map::MapPath;
using path_map::Purpose;

// The same rule whether a folder's entries are looked for one by one or, once
// a name was found in neither of its likely spellings, read as a whole.
class PathMapSpellings : public ::testing::TestWithParam<bool> {};

TEST_P(PathMapSpellings, FindEachComponentByTheRuleOfItsSpellings) {
    const ScratchDir dir;
    for (const char* folder : {"a/b", "lower", "LOWER", "Given", "GIVEN", "Mixed", "zone"}) dir.MakeDir(folder);
    dir.Write("a/b/c.txt", "");
    const std::string d = dir.Path();
    if (GetParam()) {
        EXPECT_EQ(MapPath(d + "/Absent", Purpose::Use), d + "/Absent");
    }
    struct Case {
        std::string path;
        Purpose purpose;
        std::string mapped;
    };
    const Case cases[] = {
        {d + "/a/b/c.txt", Purpose::Use, d + "/a/b/c.txt"},            // exact
        {d + "\\A\\B\\C.TXT", Purpose::Use, d + "/a/b/c.txt"},          // whatever the case, "\" separating
        {d + "\\a/B\\c.txt", Purpose::Use, d + "/a/b/c.txt"},           // both separators
        {d + "/LOWER/x", Purpose::Use, d + "/lower/x"},                 // the lower-case spelling first
        {d + "/Given/x", Purpose::Use, d + "/Given/x"},                 // then the one given
        {d + "/gIVEN/x", Purpose::Use, d + "/GIVEN/x"},                 // then the first in byte order
        {d + "/MIXED/x", Purpose::Use, d + "/Mixed/x"},                 // the only match
        {d + "/NEW/File.TXT", Purpose::Use, d + "/NEW/File.TXT"},       // missing: as given
        {d + "/A/NEW.REQ", Purpose::Create, d + "/a/new.req"},          // created: its name in lower case
        {d + "/NOPE/X.REQ", Purpose::Create, d + "/NOPE/x.req"},        // only its own name
        {d + "/ZONE/AZ.REQ", Purpose::Create, d + "/zone/az.req"},      // every letter, A to Z
        {"\\", Purpose::Use, "/"},
    };
    for (const Case& c : cases) EXPECT_EQ(MapPath(c.path, c.purpose), c.mapped) << c.path;
}

INSTANTIATE_TEST_SUITE_P(FolderRead, PathMapSpellings, ::testing::Bool());

// In a held folder, a name another program makes after the folder was listed
// is found once making it anew fails because it is there; what the run makes
// and removes there is known without looking.
TEST(PathMap, NamesInAHeldFolder) {
    const ScratchDir dir;
    dir.MakeDir("out");
    platform::Handle out = platform::kNoHandle;
    ASSERT_EQ(platform::FolderOpen(dir.Path() + "\\OUT", out), 0);
    const int fd = static_cast<int>(out);
    EXPECT_EQ(path_map::FindIn(fd, "T.LOG"), "");  // listed now
    dir.Write("out/t.log", "");
    EXPECT_EQ(path_map::FindIn(fd, "T.LOG"), "");
    platform::Want make;
    make.Mode = platform::Access::Append;
    make.Make = true;
    platform::Handle handle = platform::kNoHandle;
    platform::Facts facts;
    EXPECT_TRUE(platform::MeansAlreadyExists(platform::EntryOpen(out, "T.LOG", make, handle, facts)));
    EXPECT_EQ(path_map::FindIn(fd, "T.LOG"), "t.log");
    ASSERT_EQ(platform::EntryRemove(out, "T.LOG"), 0);
    EXPECT_EQ(path_map::FindIn(fd, "t.log"), "");
    ASSERT_EQ(platform::EntryOpen(out, "New.Req", make, handle, facts), 0);
    EXPECT_EQ(platform::FileClose(handle), 0);
    EXPECT_TRUE(dir.Exists("out/new.req"));
    EXPECT_EQ(path_map::FindIn(fd, "NEW.REQ"), "new.req");
    EXPECT_EQ(platform::FileClose(out), 0);
}

}  // namespace
