#include "tools/ProgramSpecs.h"

#include <ostream>

namespace kestrelan {

CommandSpec desktopProgramSpec()
{
    return {
        "kestrelan",
        "설정 창을 엽니다. 현재 폴더에 시장 데이터(kospi.lst)가 없으면 ~/Kestrelan에서 일하며, 그곳에도 없으면 "
        "표본 시장을 만들거나 일별 시세 CSV 파일을 가져올지 묻습니다",
        {
            {"--results", "", "결과 파일로 결과 창만 엽니다 (DIR을 주지 않으면 현재 폴더의 결과 파일)"},
            {"DIR", "DIR", "--results가 열 결과 파일의 폴더 (기본값: 현재 폴더)"},
        },
        "결과 파일은 작업 폴더에 쓰고, 엑셀로 보내기는 ~/SimResult에 씁니다. 창 없이 실행하려면 kestrelan-cli를 "
        "쓰십시오.",
    };
}

std::optional<DesktopRequest> readDesktopCommandLine(const std::vector<std::string>& args, std::ostream& out,
                                                    std::ostream& err, int& status)
{
    const auto options = readProgramCommandLine(desktopProgramSpec(), args, out, err, status);
    if (!options)
        return std::nullopt;
    DesktopRequest request;
    request.resultsOnly = options->has("--results");
    try {
        if (const auto folder = options->path("DIR")) {
            if (!request.resultsOnly)
                throw options->error("DIR", "--results와 함께만 씁니다.");
            std::error_code ec;
            if (!std::filesystem::is_directory(*folder, ec))
                throw options->error("DIR", "폴더가 없습니다: " + folder->string());
            request.resultFolder = *folder;
        }
    } catch (const UsageError& e) {
        err << e.what() << "\n'kestrelan --help'로 사용법을 볼 수 있습니다.\n";
        status = exitUsage;
        return std::nullopt;
    }
    return request;
}

CommandSpec workbookProgramSpec()
{
    return {
        "kestrelan-workbook",
        "결과 창의 엑셀로 보내기가 여는 엑셀 파일(.xlsx)을 만들고 그 경로를 출력합니다",
        {
            {"--handoff", "FILE", "전달 파일 (기본값 ~/fname.tmp)"},
            {"--name", "NAME", "전달 파일 없이 엑셀 파일의 이름을 줍니다 (명령줄에서 쓸 때)"},
            {"--results", "DIR", "결과 파일이 있는 폴더 (기본값: 현재 폴더)"},
            {"--out", "DIR", "엑셀 파일을 쓸 폴더 (기본값 ~/SimResult)"},
            {"--sweep-x", "SETTING", "sweep.csv 비교표의 가로 설정, 예: margin_pct (기본값: 바뀐 첫 설정)"},
            {"--sweep-y", "SETTING", "sweep.csv 비교표의 세로 설정 (기본값: 바뀐 둘째 설정)"},
            {"--sweep-figure", "FIGURE", "비교표 칸의 지표 (기본값 fund_median_pct)"},
        },
        "이미 있는 엑셀 파일은 바꾸지 않고 \"<이름> (2).xlsx\"처럼 새 이름으로 씁니다.",
    };
}

} // namespace kestrelan
