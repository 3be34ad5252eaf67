#pragma once
// kestrelan-cli's command line carried out in the test's process, with what it printed.

#include <string>
#include <vector>

namespace kestrelan::test {

struct CliOutcome
{
    int status;
    std::string out, err;
};

/// Carries out one command line (`args` without the program's name) as kestrelan-cli does.
CliOutcome commandLine(const std::vector<std::string>& args);

} // namespace kestrelan::test
