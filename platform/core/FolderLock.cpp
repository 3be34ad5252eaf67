#include "platform/core/FolderLock.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace kestrelan {

std::optional<FolderLock> FolderLock::tryAcquire(const std::filesystem::path& dir) { return acquire(dir, 0); }

std::optional<FolderLock> FolderLock::acquire(const std::filesystem::path& dir, double seconds)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return FolderLock(-1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return FolderLock(fd);
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= until) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            if (busy)
                return std::nullopt;
            return FolderLock(-1); // a file system without locks: nothing to hold
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd(other.fd)
{
    other.fd = -1;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept
{
    if (this != &other) {
        if (fd >= 0)
            ::close(fd);
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

FolderLock::~FolderLock()
{
    if (fd >= 0)
        ::close(fd); // closing the last descriptor releases the lock
}

} // namespace kestrelan
