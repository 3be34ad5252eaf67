// One writer at a time in a folder, held by a second process.

#include "platform/core/FolderLock.h"
#include "support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrelan;

TEST(FolderLockTest, OneWriterAtATimeAndNoStaleLockAfterAKill)
{
    test::TempDir dir;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const auto lock = FolderLock::tryAcquire(dir.path());
        const char c = lock ? '1' : '0';
        (void)::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, '1');
    EXPECT_FALSE(FolderLock::tryAcquire(dir.path()));
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_TRUE(FolderLock::acquire(dir.path(), 2.0));
    ::close(ready[0]);
    ::close(ready[1]);
}
