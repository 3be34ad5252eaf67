#include "platform/core/FolderLock.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrelan {

namespace {

// The folders this process holds, by device and inode: a step that holds its folder may call
// another that takes the same folder (a run writes SimItem.lst and then runs; an import recovers
// what an earlier one left), and the kernel's lock would refuse a second descriptor of one
// process as it refuses another process.
struct Held
{
    int fd;
    int count;
};
using FolderId = std::pair<dev_t, ino_t>;

std::mutex& heldMutex()
{
    static std::mutex m;
    return m;
}

std::map<FolderId, Held>& held()
{
    static std::map<FolderId, Held> h;
    return h;
}

} // namespace

std::optional<FolderLock> FolderLock::tryAcquire(const std::filesystem::path& dir) { return acquire(dir, 0); }

std::optional<FolderLock> FolderLock::acquire(const std::filesystem::path& dir, double seconds)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st
    {
    };
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0)
            ::close(fd);
        return FolderLock(-1, {}); // nothing to hold: the step meets the real problem itself
    }
    const FolderId id{st.st_dev, st.st_ino};
    {
        std::lock_guard guard(heldMutex());
        if (auto it = held().find(id); it != held().end()) {
            ++it->second.count;
            ::close(fd);
            return FolderLock(it->second.fd, id);
        }
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            std::lock_guard guard(heldMutex());
            held()[id] = Held{fd, 1};
            return FolderLock(fd, id);
        }
        if (errno == EINTR)
            continue;
        const bool busy = errno == EWOULDBLOCK;
        if (!busy || std::chrono::steady_clock::now() >= until) {
            ::close(fd);
            if (busy)
                return std::nullopt;
            return FolderLock(-1, {}); // a file system without locks: nothing to hold
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd(other.fd)
    , id(other.id)
{
    other.fd = -1;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept
{
    if (this != &other) {
        release();
        fd = other.fd;
        id = other.id;
        other.fd = -1;
    }
    return *this;
}

FolderLock::~FolderLock() { release(); }

void FolderLock::release()
{
    if (fd < 0)
        return;
    std::lock_guard guard(heldMutex());
    auto it = held().find(id);
    if (it != held().end() && --it->second.count == 0) {
        ::close(it->second.fd); // closing the last descriptor releases the lock
        held().erase(it);
    }
    fd = -1;
}

} // namespace kestrelan
