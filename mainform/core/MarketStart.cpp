#include "mainform/core/MarketStart.h"

#include "engine/MarketData.h"
#include "platform/core/FolderLock.h"
#include "platform/core/Format.h"
#include "tools/ImportCsv.h"
#include "tools/SampleMarket.h"

#include <exception>

namespace kestrelan {

namespace {

std::optional<std::string> writeSample(const std::filesystem::path& folder)
{
    if (holdsMarketFiles(folder))
        return folder.string() + "에 이미 시장 데이터(code.lst 또는 StockData)가 있어 표본 시장을 쓰지 않았습니다.";
    const auto lock = FolderLock::tryAcquire(folder);
    if (!lock)
        return std::string(folderBusyMessage);
    writeSampleMarket(folder);
    return std::nullopt;
}

std::string importFiles(const std::filesystem::path& folder, const CsvFiles& files)
{
    ImportOptions o;
    o.prices = files.prices;
    o.index = files.index;
    o.names = files.names;
    o.out = folder;
    const auto summary = importCsv(o);
    return format("%d개 종목, %d일의 시장을 %s에 만들었습니다. 첫 시뮬레이션 전에 보고서(%s)를 읽어 보십시오.",
                  summary.stocks, summary.indexDays, folder.c_str(),
                  (folder / importReportFileName).c_str());
}

} // namespace

bool holdsMarket(const std::filesystem::path& folder)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / "kospi.lst", ec);
}

bool offerMarket(const std::filesystem::path& folder, IMarketStartUi& ui, IMessageSink& messages)
{
    while (!holdsMarket(folder)) {
        const MarketStartChoice choice = ui.choose(folder);
        if (choice == MarketStartChoice::Quit)
            return false;
        std::optional<CsvFiles> files;
        if (choice == MarketStartChoice::ImportCsv && !(files = ui.pickCsvFiles()))
            continue;
        try {
            std::error_code ec;
            std::filesystem::create_directories(folder, ec);
            if (choice == MarketStartChoice::Sample) {
                if (const auto problem = writeSample(folder))
                    messages.show(*problem);
            } else {
                messages.show(importFiles(folder, *files));
            }
        } catch (const std::exception& e) {
            messages.show(e.what());
        }
    }
    return true;
}

std::optional<std::filesystem::path> desktopWorkingFolder(const std::filesystem::path& current,
                                                          const std::filesystem::path& home, IMarketStartUi& ui,
                                                          IMessageSink& messages)
{
    if (holdsMarket(current))
        return current;
    if (!offerMarket(home, ui, messages))
        return std::nullopt;
    return home;
}

} // namespace kestrelan
