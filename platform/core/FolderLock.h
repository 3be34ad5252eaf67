#pragma once
// One writer per folder: every run, update merge, import, group change and sample write holds an
// exclusive lock on its folder for as long as it writes; a reader that must not see a writer's
// half (the results window, a run reading the price files of another working folder's market)
// holds it shared. A second program (or a second window of this one) that wants to write the
// same folder at the same time is told so and does not start its step, or waits where the step
// says it may. The lock is the kernel's (flock on the folder itself), so a program that dies,
// even by kill -9, leaves no stale lock behind, and a read-only folder can still be locked.
// Within one process the lock nests: a step that holds its folder may call another that takes
// it (a shared request inside an exclusive hold too; an exclusive one inside a shared hold only
// is refused, as a second writer would be).
//
// flock is advisory and local: on a network folder another machine does not see the lock, and
// where the file system has no locks at all (some NFS mounts) the step goes on without one.

#include <filesystem>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <utility>

namespace kestrelan {

/// The message of a step that finds its folder in use.
constexpr const char* folderBusyMessage = "다른 작업이 이 폴더를 사용하고 있습니다.";

enum class LockMode
{
    Exclusive, // writes
    Shared     // reads, beside other readers
};

class FolderLock
{
public:
    /// Takes the folder's exclusive lock without waiting; nullopt when another holder has it. A
    /// folder that cannot be opened at all (missing, no permission) is not locked but not refused
    /// either: the step then meets the real problem itself and reports that.
    static std::optional<FolderLock> tryAcquire(const std::filesystem::path& dir);
    /// Waits for the lock up to `seconds` (0: no wait); nullopt when it stayed taken. `waiting`
    /// (when given) is called once, when the first try finds the lock taken and the wait begins.
    static std::optional<FolderLock> acquire(const std::filesystem::path& dir, double seconds,
                                             LockMode mode = LockMode::Exclusive,
                                             const std::function<void()>& waiting = {});

    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    FolderLock(int fd, std::pair<dev_t, ino_t> id, LockMode mode)
        : fd(fd)
        , id(id)
        , mode(mode)
    {
    }
    void release();
    int fd = -1;
    std::pair<dev_t, ino_t> id{};
    LockMode mode = LockMode::Exclusive;
};

} // namespace kestrelan
