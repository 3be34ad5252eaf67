#include "platform/core/Folders.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kestrelan;

// The shipped files are found both installed under a prefix (bin/ beside share/kestrelan/, as
// /usr/bin and /usr/share/kestrelan, and the build tree) and installed into one folder.
TEST(FoldersTest, DataFolderBesideThePrograms)
{
    test::TempDir prefix;
    prefix.write("bin/kestrelan-cli", "");
    prefix.write("share/kestrelan/help/index.html", "");
    EXPECT_EQ(dataFolderOf(prefix / "bin"), prefix / "share/kestrelan");
    test::TempDir folder;
    folder.write("kestrelan-cli", "");
    EXPECT_EQ(dataFolderOf(folder.path()), folder.path());
}
