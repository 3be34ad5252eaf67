#include "support/Faults.h"

#include "platform/core/FaultPoint.h"
#include "platform/core/FolderLock.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrelan::test {

namespace {

int countdown = 0;
int reportFd = -1;
const char* counted = nullptr;

void killHere(const char* point)
{
    if (counted && std::strcmp(point, counted) != 0)
        return;
    if (--countdown > 0)
        return;
    const auto written = ::write(reportFd, point, std::strlen(point));
    (void)written;
    ::raise(SIGKILL);
}

} // namespace

bool killedAtPoint(int n, const std::function<void()>& step, std::string* point, const char* only)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        countdown = n;
        counted = only;
        reportFd = fds[1];
        faultHook().store(&killHere);
        step();
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string name;
    char buffer[128];
    ssize_t got;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0)
        name.append(buffer, static_cast<std::size_t>(got));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (point)
        *point = name;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

SmallDisk::SmallDisk(const std::filesystem::path& source, std::filesystem::path mountPointIn, bool fillNow,
                     const char* size)
    : mountPoint(mountPointIn.empty() ? place / "small" : std::move(mountPointIn))
{
    std::filesystem::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, ("size=" + std::string(size)).c_str()) != 0)
        return;
    mounted = true;
    std::filesystem::copy(source, mountPoint, std::filesystem::copy_options::recursive);
    usable = true;
    if (fillNow)
        fill();
}

SmallDisk::~SmallDisk()
{
    if (mounted)
        ::umount(mountPoint.c_str());
}

void SmallDisk::fill()
{
    // Page by page, until a write fails.
    std::FILE* f = std::fopen((mountPoint / "filler").c_str(), "wb");
    const std::string page(4096, 'x');
    while (f && std::fwrite(page.data(), 1, page.size(), f) == page.size() && std::fflush(f) == 0) { }
    if (f)
        std::fclose(f);
}

void SmallDisk::empty() { std::filesystem::remove(mountPoint / "filler"); }

ReadOnlyCopy::ReadOnlyCopy(const std::filesystem::path& source)
    : mountPoint(place / "readonly")
{
    std::filesystem::create_directories(mountPoint);
    if (::geteuid() != 0) {
        std::filesystem::copy(source, mountPoint, std::filesystem::copy_options::recursive);
        ::chmod(mountPoint.c_str(), 0555);
        usable = true;
        return;
    }
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=4m") != 0)
        return;
    mounted = true;
    std::filesystem::copy(source, mountPoint, std::filesystem::copy_options::recursive);
    usable = ::mount(nullptr, mountPoint.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

ReadOnlyCopy::~ReadOnlyCopy()
{
    if (mounted)
        ::umount(mountPoint.c_str());
    else
        ::chmod(mountPoint.c_str(), 0755);
}

LockHolder::LockHolder(const std::filesystem::path& dir, LockMode mode)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    pid = ::fork();
    if (pid == 0) {
        const auto lock = FolderLock::acquire(dir, 0, mode);
        const char c = lock ? '1' : '0';
        (void)::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    held = pid > 0 && ::read(ready[0], &c, 1) == 1 && c == '1';
    ::close(ready[0]);
    ::close(ready[1]);
}

LockHolder::~LockHolder() { release(); }

void LockHolder::release()
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

namespace {

const char* pausePoint = nullptr;
int pauseReady = -1, pauseGo = -1;

void pauseHere(const char* point)
{
    if (!pausePoint || std::strcmp(point, pausePoint) != 0)
        return;
    pausePoint = nullptr; // once
    (void)::write(pauseReady, "1", 1);
    char c;
    while (::read(pauseGo, &c, 1) > 0) { } // until the test closes its end
}

} // namespace

PausedAt::PausedAt(const char* point, const std::function<void()>& step)
{
    int ready[2], goPipe[2];
    if (::pipe(ready) != 0 || ::pipe(goPipe) != 0)
        return;
    pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        ::close(goPipe[1]);
        pausePoint = point;
        pauseReady = ready[1];
        pauseGo = goPipe[0];
        faultHook().store(&pauseHere);
        step();
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(goPipe[0]);
    go = goPipe[1];
    char c = 0;
    reached = pid > 0 && ::read(ready[0], &c, 1) == 1; // 0 bytes: the step ended before the point
    ::close(ready[0]);
}

PausedAt::~PausedAt() { release(); }

int PausedAt::release()
{
    if (go >= 0)
        ::close(go);
    go = -1;
    if (pid <= 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int asOrdinaryUser(const std::function<int()>& step)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(255);
        ::_exit(step() & 0xff);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace kestrelan::test
