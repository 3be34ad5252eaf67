// kestrelan-cli: the engine without a window.

#include "tools/CommandLine.h"

#include <iostream>

int main(int argc, char** argv)
{
    return kestrelan::runCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
