#include "support/Faults.h"

#include "platform/core/FaultPoint.h"

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrelan::test {

namespace {

int countdown = 0;
int reportFd = -1;

void killHere(const char* point)
{
    if (--countdown > 0)
        return;
    const auto written = ::write(reportFd, point, std::strlen(point));
    (void)written;
    ::raise(SIGKILL);
}

} // namespace

bool killedAtPoint(int n, const std::function<void()>& step, std::string* point)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        countdown = n;
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
