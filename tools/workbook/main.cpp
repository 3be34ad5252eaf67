// kestrelan-workbook: the workbook an export opens. Prints the path of the workbook it wrote.
//
//   kestrelan-workbook [--handoff FILE] [--results DIR] [--out DIR]
//     --handoff  the hand-off file (default ~/fname.tmp)
//     --results  the folder of the result files (default: the current folder)
//     --out      where the workbook goes (default ~/SimResult)

#include "platform/core/Folders.h"
#include "tools/workbook/WorkbookBuilder.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    using namespace kestrelan;
    std::filesystem::path handoff = handoffFile();
    std::filesystem::path results = workingFolder();
    std::filesystem::path out = simResultFolder();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--handoff")
            handoff = argv[i + 1];
        else if (option == "--results")
            results = argv[i + 1];
        else if (option == "--out")
            out = argv[i + 1];
        else {
            std::fprintf(stderr, "kestrelan-workbook: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (argc % 2 == 0) {
        std::fputs("usage: kestrelan-workbook [--handoff FILE] [--results DIR] [--out DIR]\n", stderr);
        return 2;
    }
    try {
        const auto path = buildWorkbook(readHandoff(handoff, programFolder()), results, out);
        std::printf("%s\n", path.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrelan-workbook: %s\n", e.what());
        return 1;
    }
}
