#include "support/CommandLineRun.h"

#include "tools/CommandLine.h"

#include <sstream>

namespace kestrelan::test {

CliOutcome commandLine(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = runCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace kestrelan::test
