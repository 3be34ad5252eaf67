#pragma once
// Faults as they happen to users: a kill -9 at a chosen point of a write sequence, a full disk, a
// folder that an ordinary user may not write, and a second process that holds the folder.

#include "platform/core/FolderLock.h"
#include "support/TempDir.h"

#include <filesystem>
#include <functional>
#include <string>

namespace kestrelan::test {

/// Runs `step` in a child process that stops with SIGKILL as it reaches the n-th fault point
/// (counted from 1). True when the kill came (`point` then names where), false when the step
/// ended before the n-th point. With `only`, the points of that name alone are counted.
bool killedAtPoint(int n, const std::function<void()>& step, std::string* point = nullptr,
                   const char* only = nullptr);

/// A copy of a folder on a small tmpfs (where this machine lets the test mount one), which the
/// test can fill to the last page and empty again.
class SmallDisk
{
    TempDir place; // where the default mount point lies; first, so that it outlives the mount

public:
    /// Copies `source` to `mountPoint` (default: a folder of its own) on a tmpfs of `size`
    /// (mount's size option); filled at once unless `fillNow` is false.
    explicit SmallDisk(const std::filesystem::path& source, std::filesystem::path mountPoint = {}, bool fillNow = true,
                       const char* size = "64k");
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    void fill();  // writes until a write fails
    void empty(); // removes what fill() wrote
    bool usable = false;
    std::filesystem::path mountPoint;

private:
    bool mounted = false;
};

/// A copy of a folder that may not be written: a read-only tmpfs where mounting is allowed
/// (root ignores file modes), else the copy's mode.
class ReadOnlyCopy
{
    TempDir place; // where the copy lies; first, so that it outlives the mount

public:
    explicit ReadOnlyCopy(const std::filesystem::path& source);
    ~ReadOnlyCopy();
    ReadOnlyCopy(const ReadOnlyCopy&) = delete;
    ReadOnlyCopy& operator=(const ReadOnlyCopy&) = delete;

    bool usable = false;
    std::filesystem::path mountPoint;

private:
    bool mounted = false;
};

/// A second process that holds a folder's lock until release() or the end of the holder.
class LockHolder
{
public:
    explicit LockHolder(const std::filesystem::path& dir, LockMode mode = LockMode::Exclusive);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    /// Kills the process, which leaves the lock as any killed program does.
    void release();
    bool held = false; // the process took the lock

private:
    int pid = -1;
};

/// A second process that runs `step` and stops at the first fault point named `point`, with what
/// it holds there (its locks among them), until release(): held by a pipe, not by a sleep.
class PausedAt
{
public:
    PausedAt(const char* point, const std::function<void()>& step);
    ~PausedAt();
    PausedAt(const PausedAt&) = delete;
    PausedAt& operator=(const PausedAt&) = delete;

    /// Lets the step go on and waits for the process; its exit status (-1: it did not end normally).
    int release();
    bool reached = false; // the step came to the point

private:
    int pid = -1;
    int go = -1; // the pipe the process waits on
};

/// Runs `step` in a child process as an ordinary user (uid and gid 65534 when this process is
/// root, else as it is) and returns its result, or -1 when the child did not end normally.
int asOrdinaryUser(const std::function<int()>& step);

} // namespace kestrelan::test
