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
    int exclusive; // holds of each mode
    int shared;
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

enum class Try
{
    Taken,
    Busy,
    NoLocks // a file system without locks: nothing to hold
};

// One try, under the mutex, so that two threads never both lock the folder with descriptors of
// their own. `fd` is kept in the table when its lock is taken, closed otherwise.
Try tryLock(int fd, const FolderId& id, LockMode mode, int& heldFd)
{
    std::lock_guard guard(heldMutex());
    if (auto it = held().find(id); it != held().end()) {
        if (mode == LockMode::Exclusive && it->second.exclusive == 0)
            return Try::Busy; // a reader of this process never becomes a writer
        ++(mode == LockMode::Exclusive ? it->second.exclusive : it->second.shared);
        ::close(fd);
        heldFd = it->second.fd;
        return Try::Taken;
    }
    const int operation = (mode == LockMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int result;
    while ((result = ::flock(fd, operation)) != 0 && errno == EINTR) { }
    if (result == 0) {
        held()[id] = Held{fd, mode == LockMode::Exclusive ? 1 : 0, mode == LockMode::Shared ? 1 : 0};
        heldFd = fd;
        return Try::Taken;
    }
    return errno == EWOULDBLOCK ? Try::Busy : Try::NoLocks;
}

} // namespace

std::optional<FolderLock> FolderLock::tryAcquire(const std::filesystem::path& dir) { return acquire(dir, 0); }

std::optional<FolderLock> FolderLock::acquire(const std::filesystem::path& dir, double seconds, LockMode mode,
                                              const std::function<void()>& waiting)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st
    {
    };
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0)
            ::close(fd);
        return FolderLock(-1, {}, mode); // nothing to hold: the step meets the real problem itself
    }
    const FolderId id{st.st_dev, st.st_ino};
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (bool told = false;;) {
        int heldFd = -1;
        switch (tryLock(fd, id, mode, heldFd)) {
        case Try::Taken: return FolderLock(heldFd, id, mode);
        case Try::NoLocks: ::close(fd); return FolderLock(-1, {}, mode);
        case Try::Busy: break;
        }
        if (std::chrono::steady_clock::now() >= until) {
            ::close(fd);
            return std::nullopt;
        }
        if (!told && waiting)
            waiting();
        told = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

FolderLock::FolderLock(FolderLock&& other) noexcept
    : fd(other.fd)
    , id(other.id)
    , mode(other.mode)
{
    other.fd = -1;
}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept
{
    if (this != &other) {
        release();
        fd = other.fd;
        id = other.id;
        mode = other.mode;
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
    if (it != held().end()) {
        --(mode == LockMode::Exclusive ? it->second.exclusive : it->second.shared);
        if (it->second.exclusive == 0 && it->second.shared == 0) {
            ::close(it->second.fd); // closing the last descriptor releases the lock
            held().erase(it);
        }
    }
    fd = -1;
}

} // namespace kestrelan
