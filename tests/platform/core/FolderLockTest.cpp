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

// Readers share a folder and keep a writer out; a writer keeps everyone out. Within one process a
// read nests inside a write, never a write inside a read alone.
TEST(FolderLockTest, ReadersShareAndWritersWait)
{
    struct Row
    {
        LockMode held;
        LockMode asked;
        bool taken;
    };
    // held by another process | asked here | taken
    const Row rows[] = {
        {LockMode::Shared, LockMode::Shared, true},
        {LockMode::Shared, LockMode::Exclusive, false},
        {LockMode::Exclusive, LockMode::Shared, false},
    };
    for (const auto& row : rows) {
        test::TempDir dir;
        test::LockHolder holder(dir.path(), row.held);
        ASSERT_TRUE(holder.held);
        EXPECT_EQ(FolderLock::acquire(dir.path(), 0, row.asked).has_value(), row.taken);
    }
    test::TempDir dir;
    {
        const auto write = FolderLock::tryAcquire(dir.path());
        EXPECT_TRUE(FolderLock::acquire(dir.path(), 0, LockMode::Shared));
    }
    const auto read = FolderLock::acquire(dir.path(), 0, LockMode::Shared);
    EXPECT_FALSE(FolderLock::tryAcquire(dir.path()));
}
