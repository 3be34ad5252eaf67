// Several files replaced together, and a file replaced in place of its link: under kills at every
// step and in full and read-only folders.

#include "platform/core/FileTransaction.h"
#include "platform/core/TextFile.h"
#include "support/Faults.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kestrelan;

namespace {

void seed(const test::TempDir& dir)
{
    dir.write("a.lst", "old a");
    dir.write("sub/b.lst", "old b");
    dir.write("gone.lst", "old gone");
}

bool change(const std::filesystem::path& dir)
{
    FileTransaction t(dir, "test");
    if (!t.stage("a.lst", "new a") || !t.stage("sub/b.lst", "new b") || !t.stage("c.lst", "new c"))
        return false;
    t.stageRemoval("gone.lst");
    return t.commit();
}

} // namespace

TEST(FileTransactionTest, AKillAtAnyStepLeavesAllOldOrAllNew)
{
    test::TempDir before, after;
    seed(before);
    seed(after);
    ASSERT_TRUE(change(after.path()));
    const auto oldFiles = before.files();
    const auto newFiles = after.files();
    ASSERT_EQ(newFiles.count("gone.lst"), 0u);

    int kills = 0;
    for (int n = 1;; ++n) {
        test::TempDir dir;
        seed(dir);
        std::string point;
        if (!test::killedAtPoint(
                n, [&] { change(dir.path()); }, &point))
            break;
        ++kills;
        FileTransaction::recover(dir.path(), "test");
        const auto files = dir.files();
        EXPECT_TRUE(files == oldFiles || files == newFiles) << "killed at point " << n << " (" << point << ")";
    }
    EXPECT_GE(kills, 6); // the stages, the journal, each replacement, the end
}

TEST(FileTransactionTest, AFailedCommitChangesNothing)
{
    struct Row
    {
        const char* name;
        std::function<void(const test::TempDir&)> harm;
    };
    // case | what stands in the way
    const Row rows[] = {
        {"a folder where a file goes",
         [](const test::TempDir& d) { std::filesystem::create_directories(d / "c.lst"); }},
        {"a file where a folder goes",
         [](const test::TempDir& d) {
             std::filesystem::remove_all(d / "sub");
             d.write("sub", "not a folder");
         }},
    };
    for (const auto& row : rows) {
        test::TempDir dir;
        seed(dir);
        row.harm(dir);
        const auto before = dir.files();
        EXPECT_FALSE(change(dir.path())) << row.name;
        EXPECT_EQ(dir.files(), before) << row.name;
    }
    // A file written in place (as a run writes its results) under a name the journal cannot hold.
    test::TempDir dir;
    seed(dir);
    const auto before = dir.files();
    FileTransaction t(dir.path(), "test");
    ASSERT_TRUE(t.stage("a.lst", "new a"));
    writeFileSynced(t.stagedFile("two\nlines.lst"), "new", {});
    EXPECT_FALSE(t.commit());
    EXPECT_EQ(dir.files(), before);
}

TEST(FileTransactionTest, AReadOnlyFolderAsAnOrdinaryUser)
{
    test::TempDir dir;
    seed(dir);
    const auto before = dir.files();
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    ASSERT_EQ(::chmod((dir / "sub").c_str(), 0777), 0);
    const int committed = test::asOrdinaryUser([&] { return change(dir.path()) ? 1 : 0; });
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(committed, 0);
    EXPECT_EQ(dir.files(), before);
}

// A link the user keeps (group.lst kept elsewhere) is followed where it is asked for and stays a
// link; anywhere else a link at the name gives way and what it points to is left alone.
TEST(FileTransactionTest, ReplacingKeepsTheModeAndTheLink)
{
    for (const LinkAtName links : {LinkAtName::Follow, LinkAtName::Replace}) {
        test::TempDir dir;
        dir.write("real/group.lst", "old");
        ::chmod((dir / "real/group.lst").c_str(), 0640);
        std::filesystem::create_symlink(dir / "real/group.lst", dir / "group.lst");
        ASSERT_TRUE(replaceFileAtomically(dir / "group.lst", "new", links));
        const bool followed = links == LinkAtName::Follow;
        EXPECT_EQ(std::filesystem::is_symlink(dir / "group.lst"), followed);
        EXPECT_EQ(dir.read("real/group.lst"), followed ? "new" : "old");
        EXPECT_EQ(dir.read("group.lst"), "new");
        struct stat st
        {
        };
        ASSERT_EQ(::stat((dir / "real/group.lst").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        const auto entries = [](const std::filesystem::path& d) {
            return std::distance(std::filesystem::directory_iterator(d), std::filesystem::directory_iterator());
        };
        EXPECT_EQ(entries(dir.path()) + entries(dir / "real"), 3); // no scratch file left
    }
}

TEST(FileTransactionTest, AFolderNamedRelativeToTheWorkingFolder)
{
    test::TempDir dir;
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    FileTransaction t(".", "test");
    const bool committed = t.stage("kospi.lst", "new") && t.commit();
    std::filesystem::current_path(here);
    EXPECT_TRUE(committed);
    EXPECT_EQ(dir.read("kospi.lst"), "new");
}
