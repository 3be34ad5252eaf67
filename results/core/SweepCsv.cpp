#include "results/core/SweepCsv.h"

#include "formats/FieldReader.h"
#include "platform/core/Format.h"
#include "platform/core/TextFile.h"

namespace kestrelan {

namespace {

const char* const spreads[] = {"fund", "index", "excess"};
const char* const spreadFigures[]
    = {"mean_pct", "median_pct", "p10_pct", "p90_pct", "worst_pct", "worst_start", "best_pct", "best_start"};

std::string number(double v) { return format("%.2f", v); }

} // namespace

const std::string& sweepCsvHeader()
{
    static const std::string text = [] {
        std::string line = "combination";
        for (const char* name : sweepSettingNames)
            line += std::string(",") + name;
        line += ",funds";
        for (const char* spread : spreads)
            for (const char* figure : spreadFigures)
                line += std::string(",") + spread + "_" + figure;
        return line + ",gain_share_pct,beat_share_pct,fund_median_drawdown_pct,index_median_drawdown_pct\n";
    }();
    return text;
}

std::string sweepCsvLine(const SweepLine& l)
{
    const SweepSettings& s = l.settings;
    std::string line = format("%lld,%d,%d,%d,%d,%d,%d", static_cast<long long>(l.combination), s.marginPct, s.secondPct,
                              s.rangeLowPct, s.rangeHighPct, s.initialBuyPct, s.riskProfile);
    if (!l.summary)
        return line + ",0" + std::string(8 * 3 + 4, ',') + "\n";
    const SeriesSummary& m = *l.summary;
    line += "," + std::to_string(m.funds);
    for (const Spread* x : {&m.fund, &m.index, &m.excess})
        line += "," + number(x->mean) + "," + number(x->median) + "," + number(x->p10) + "," + number(x->p90) + ","
            + number(x->worst) + "," + x->worstStart + "," + number(x->best) + "," + x->bestStart;
    const auto optional = [](const std::optional<double>& v) { return v ? number(*v) : std::string(); };
    return line + "," + number(m.gainShare) + "," + number(m.beatShare) + "," + optional(m.medianFundDrawdown) + ","
        + optional(m.medianIndexDrawdown) + "\n";
}

std::optional<std::map<std::int64_t, std::string>> readSweepCsvLines(std::string_view bytes)
{
    const std::string text = textModeBytes(bytes);
    const std::string& header = sweepCsvHeader();
    if (text.compare(0, header.size(), header) != 0)
        return std::nullopt;
    std::map<std::int64_t, std::string> lines;
    std::size_t start = header.size();
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos)
            break; // a cut last line is no combination
        const std::string line = text.substr(start, end - start + 1);
        lines[fieldInteger(line.substr(0, line.find(',')))] = line;
        start = end + 1;
    }
    return lines;
}

} // namespace kestrelan
