#pragma once
// One writer per working folder: every run, update merge, import, group change and sample write
// holds an exclusive lock on the folder for as long as it writes. A second program (or a second
// window of this one) that wants to write the same folder at the same time is told so and does
// not start its step. The lock is the kernel's (flock on the folder itself), so a program that
// dies, even by kill -9, leaves no stale lock behind, and a read-only folder can still be locked.
// Within one process the lock nests: a step that holds its folder may call another that takes it.

#include <filesystem>
#include <optional>
#include <sys/types.h>
#include <utility>

namespace kestrelan {

/// The message of a step that finds its folder in use.
constexpr const char* folderBusyMessage = "다른 작업이 이 폴더를 사용하고 있습니다.";

class FolderLock
{
public:
    /// Takes the folder's lock without waiting; nullopt when another holder has it. A folder that
    /// cannot be opened at all (missing, no permission) is not locked but not refused either:
    /// the step then meets the real problem itself and reports that.
    static std::optional<FolderLock> tryAcquire(const std::filesystem::path& dir);
    /// Waits for the lock up to `seconds` (0: no wait); nullopt when it stayed taken.
    static std::optional<FolderLock> acquire(const std::filesystem::path& dir, double seconds);

    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

private:
    FolderLock(int fd, std::pair<dev_t, ino_t> id)
        : fd(fd)
        , id(id)
    {
    }
    void release();
    int fd = -1;
    std::pair<dev_t, ino_t> id{};
};

} // namespace kestrelan
