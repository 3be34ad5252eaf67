#pragma once
// Faults as they happen to users: a kill -9 at a chosen point of a write sequence, and a folder
// that an ordinary user may not write.

#include <functional>
#include <string>

namespace kestrelan::test {

/// Runs `step` in a child process that stops with SIGKILL as it reaches the n-th fault point
/// (counted from 1). True when the kill came (`point` then names where), false when the step
/// ended before the n-th point.
bool killedAtPoint(int n, const std::function<void()>& step, std::string* point = nullptr);

/// Runs `step` in a child process as an ordinary user (uid and gid 65534 when this process is
/// root, else as it is) and returns its result, or -1 when the child did not end normally.
int asOrdinaryUser(const std::function<int()>& step);

} // namespace kestrelan::test
