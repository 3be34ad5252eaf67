// kestrelan-workbook: the workbook an export opens. Prints the path of the workbook it wrote.
//
//   kestrelan-workbook [--handoff FILE] [--results DIR] [--out DIR]
//     --handoff  the hand-off file (default ~/fname.tmp)
//     --results  the folder of the result files (default: the current folder)
//     --out      where the workbook goes (default ~/SimResult)
//     --sweep-x, --sweep-y   the two settings of sweep.csv the comparison sheet sets against each
//                            other (default: the first two the sweep varied), e.g. margin_pct
//     --sweep-figure         the figure in its cells (default fund_median_pct)

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
    SweepChoice sweep;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--handoff")
            handoff = argv[i + 1];
        else if (option == "--results")
            results = argv[i + 1];
        else if (option == "--out")
            out = argv[i + 1];
        else if (option == "--sweep-x")
            sweep.x = argv[i + 1];
        else if (option == "--sweep-y")
            sweep.y = argv[i + 1];
        else if (option == "--sweep-figure")
            sweep.figure = argv[i + 1];
        else {
            std::fprintf(stderr, "kestrelan-workbook: unknown option %s\n", option.c_str());
            return 2;
        }
    }
    if (argc % 2 == 0) {
        std::fputs("usage: kestrelan-workbook [--handoff FILE] [--results DIR] [--out DIR] [--sweep-x NAME] "
                   "[--sweep-y NAME] [--sweep-figure NAME]\n",
                   stderr);
        return 2;
    }
    try {
        const auto path = buildWorkbook(readHandoff(handoff, programFolder()), results, out, sweep);
        std::printf("%s\n", path.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrelan-workbook: %s\n", e.what());
        return 1;
    }
}
