// kestrelan-workbook: the workbook an export opens. Prints the path of the workbook it wrote.
// Its options and their defaults: tools/ProgramSpecs.cpp (kestrelan-workbook --help).

#include "platform/core/Folders.h"
#include "results/core/SummaryTables.h"
#include "tools/ProgramSpecs.h"
#include "tools/workbook/WorkbookBuilder.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>

int main(int argc, char** argv)
{
    using namespace kestrelan;
    int status = 0;
    const auto options = readProgramCommandLine(workbookProgramSpec(), std::vector<std::string>(argv + 1, argv + argc),
                                                std::cout, std::cerr, status);
    if (!options)
        return status;
    try {
        SweepChoice sweep;
        sweep.x = options->text("--sweep-x").value_or(sweep.x);
        sweep.y = options->text("--sweep-y").value_or(sweep.y);
        sweep.figure = options->text("--sweep-figure").value_or(sweep.figure);
        const auto handoff = options->path("--handoff").value_or(handoffFile());
        const auto results = options->path("--results").value_or(workingFolder());
        const auto out = options->path("--out").value_or(simResultFolder());
        // From the command line the name is given; the stock count is what result.txt names.
        Handoff h;
        if (const auto name = options->text("--name")) {
            if (options->has("--handoff"))
                throw options->error("--name", "--handoff와 함께 쓸 수 없습니다.");
            if (const auto problem = fileNameProblem(*name))
                throw options->error("--name", *problem);
            h = {*name, resultStockCount(results)};
        } else if (std::error_code ec; !std::filesystem::exists(handoff, ec)) {
            throw UsageError("전달 파일 " + handoff.string()
                             + "이 없습니다. 결과 창의 \"엑셀로 보내기\"가 씁니다; 명령줄에서는 --name 이름으로 "
                               "엑셀 파일의 이름을 주십시오.");
        } else {
            h = readHandoff(handoff, programFolder());
        }
        const auto path = buildWorkbook(h, results, out, sweep);
        std::printf("%s\n", path.c_str());
        return 0;
    } catch (const UsageError& e) {
        std::cerr << e.what() << "\n'kestrelan-workbook --help'로 사용법을 볼 수 있습니다.\n";
        return exitUsage;
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
