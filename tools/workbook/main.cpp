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
#include <filesystem>
#include <new>
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
            std::fprintf(stderr, "알 수 없는 옵션입니다: %s\n", option.c_str());
            return 2;
        }
    }
    if (argc % 2 == 0) {
        std::fputs("사용법: kestrelan-workbook [--handoff 파일] [--results 폴더] [--out 폴더] [--sweep-x 설정] "
                   "[--sweep-y 설정] [--sweep-figure 지표]\n",
                   stderr);
        return 2;
    }
    try {
        const auto path = buildWorkbook(readHandoff(handoff, programFolder()), results, out, sweep);
        std::printf("%s\n", path.c_str());
        return 0;
    } catch (const std::filesystem::filesystem_error& e) {
        std::fprintf(stderr, "파일을 다룰 수 없습니다: %s\n", e.path1().c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fputs("메모리가 부족하여 엑셀 파일을 만들 수 없습니다.\n", stderr);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what()); // the builder's own errors are Korean: the results window shows them
        return 1;
    }
}
