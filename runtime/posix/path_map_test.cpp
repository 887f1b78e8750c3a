// Mapping the program's paths onto a POSIX file system.
#include "runtime/posix/path_map.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "runtime/platform.hpp"
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

// A folder found missing, or listed, once in a run is not looked at again;
// what the run itself makes there is found all the same.
TEST(PathMap, WhatTheRunMakesIsFoundInFoldersItKnows) {
    const ScratchDir dir;
    const std::string d = dir.Path();
    EXPECT_EQ(MapPath(d + "/OUT/11F80024.REQ", Purpose::Use), d + "/OUT/11F80024.REQ");
    const std::string out = MapPath(d + "/OUT", Purpose::Create);
    ASSERT_EQ(path_map::Record(mkdir(out.c_str(), 0777), out, path_map::Change::MadeFolder), 0);
    EXPECT_EQ(MapPath(d + "/OUT/11F80024.REQ", Purpose::Create), d + "/out/11f80024.req");
    dir.Write("out/11f80024.req", "");
    path_map::Record(0, d + "/out/11f80024.req", path_map::Change::MadeFile);
    EXPECT_EQ(MapPath(d + "/OUT/11F80024.REQ", Purpose::Use), d + "/out/11f80024.req");
    path_map::Record(0, d + "/out/11f80024.req", path_map::Change::Removed);
    EXPECT_EQ(MapPath(d + "/OUT/11F80024.REQ", Purpose::Use), d + "/out/11F80024.REQ");
}

// The part of a path that others may add names to begins at the same
// component once the path is mapped; empty components go in the mapping.
TEST(PathMap, TheCheckedPartBeginsAtTheSameComponent) {
    constexpr std::size_t kNone = std::string::npos;
    EXPECT_EQ(path_map::MappedOffset("\\FIDO\\OUT\\a.req", 5, "/fido/out/a.req"), 6u);
    EXPECT_EQ(path_map::MappedOffset("FIDO\\\\OUT/a.req", 4, "fido/out/a.req"), 5u);
    EXPECT_EQ(path_map::MappedOffset("\\A\\T.LOG", 3, "/a/t.log"), 3u);
    EXPECT_EQ(path_map::MappedOffset("T.LOG", 0, "t.log"), 0u);
    EXPECT_EQ(path_map::MappedOffset("\\A\\", 3, "/a"), kNone);
    EXPECT_EQ(path_map::MappedOffset("\\A\\T.LOG", kNone, "/a/t.log"), kNone);
}

// A file another run makes after the folder was listed: once creating it
// anew fails because it is there, it is found.
TEST(PathMap, AFileMadeMeanwhileIsFoundOnceItIsSeenToExist) {
    const ScratchDir dir;
    const std::string log = dir.Path() + "\\T.LOG";
    EXPECT_EQ(MapPath(log, Purpose::Use), dir.At("T.LOG"));
    dir.Write("t.log", "");
    platform::Handle handle = platform::kNoHandle;
    EXPECT_TRUE(platform::MeansAlreadyExists(platform::FileCreateNew(log, platform::Access::Append, handle)));
    ASSERT_EQ(platform::FileOpen(log, platform::Access::Append, handle), 0);
    EXPECT_EQ(platform::FileClose(handle), 0);
}

}  // namespace
