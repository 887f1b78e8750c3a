// Files and folders: the probe of the sysop's files, and what a held folder
// lets through.
#include "runtime/file_system.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/process.hpp"
#include "support/scratch.hpp"

namespace {

TEST(FileExists, AFileThatCanBeRead) {
    const ScratchDir dir;
    dir.Write("list.txt", "x");
    dir.MakeDir("out");
    EXPECT_TRUE(FileExists(dir.At("list.txt")));
    for (const std::string& name : {dir.At("missing.txt"), dir.At("out"), std::string()})
        EXPECT_FALSE(FileExists(name)) << "'" << name << "'";
    // Root may read anything, so the probe of a file nobody may read runs as nobody.
    ASSERT_EQ(chmod(dir.At("list.txt").c_str(), 0), 0);
    EXPECT_TRUE(AsUser({}, [&] { return !FileExists(dir.At("list.txt")); }));
}

// Through a held folder: a file with a second name, a FIFO and a link to a
// device are files that cannot be opened; the run's own link leads where it
// points, which the file then tells; a folder is made where it is missing.
TEST(HeldFolder, WhatANameInItMayBe) {
    const ScratchDir dir;
    dir.Write("out/hard.req", "x");
    ASSERT_EQ(link(dir.At("out/hard.req").c_str(), dir.At("elsewhere.req").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.At("out/fifo.req").c_str(), 0666), 0);
    ASSERT_EQ(symlink("/dev/null", dir.At("out/null.req").c_str()), 0);
    dir.Write("lists/Real.Req", "y");
    dir.Write("lists/real.req", "another");
    ASSERT_EQ(symlink("../lists/Real.Req", dir.At("out/mine.req").c_str()), 0);
    HeldFolder root, out;
    ASSERT_EQ(root.Open(dir.Path()), 0);
    ASSERT_EQ(root.Enter("OUT", false, out), 0);
    for (const char* name : {"hard.req", "fifo.req", "null.req"}) {
        HeldFile file;
        EXPECT_EQ(OpenFile(Place(out, name), platform::Access::ReadWrite, file), platform::Refused()) << name;
    }
    HeldFile mine;
    ASSERT_EQ(OpenFile(Place(out, "mine.req"), platform::Access::ReadWrite, mine), 0);
    EXPECT_TRUE(mine.Followed());
    EXPECT_EQ(mine.Name(), "Real.Req");  // spelled as the link names it
    char first = 0;
    int got = 0;
    EXPECT_EQ(platform::FileRead(mine.Handle(), &first, 1, got), 0);
    EXPECT_EQ(first, 'y');
    platform::Handle made = platform::kNoHandle;
    ASSERT_EQ(MakeFile(Place(mine.Folder(), "new.req"), platform::Access::ReadWrite, made), 0);
    LetGo(made);
    EXPECT_TRUE(dir.Exists("lists/new.req"));
    EXPECT_TRUE(platform::MeansAlreadyExists(MakeFile(Place(out, "mine.req"), platform::Access::ReadWrite, made)));

    HeldFolder point;
    EXPECT_NE(out.Enter("11F80024.PNT\\X", true, point), 0) << "only the last folder is made";
    ASSERT_EQ(out.Enter("11F80024.PNT", true, point), 0);
    EXPECT_TRUE(dir.Exists("out/11f80024.pnt"));
    ASSERT_EQ(out.Enter("11f80024.pnt", true, point), 0) << "one that is there is entered";
}

}  // namespace
