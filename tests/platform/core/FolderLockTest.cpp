// One writer at a time in a folder, held by a second process.

#include "platform/core/FolderLock.h"
#include "support/Faults.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace kestrelan;

TEST(FolderLockTest, OneWriterAtATimeAndNoStaleLockAfterAKill)
{
    test::TempDir dir;
    test::LockHolder holder(dir.path());
    ASSERT_TRUE(holder.held);
    EXPECT_FALSE(FolderLock::tryAcquire(dir.path()));
    holder.release();
    EXPECT_TRUE(FolderLock::acquire(dir.path(), 2.0));
}
