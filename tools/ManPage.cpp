#include "tools/ManPage.h"

#include "formats/ResultSet.h"
#include "tools/ProgramSpecs.h"

#include <algorithm>

namespace kestrelan {

namespace {

// Text as roff shows it: a backslash printed, a hyphen a minus (options are typed with it), and
// no line taken for a request.
std::string escaped(const std::string& text)
{
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); });
    return text;
}

bool isPositional(const OptionSpec& o) { return !o.name.starts_with('-'); }

// "\fB\-\-margin\fR \fIN\fR", "\fIDIR\fR", "\fB\-h\fR, \fB\-\-help\fR".
std::string optionTerm(const OptionSpec& o)
{
    if (isPositional(o))
        return "\\fI" + escaped(o.valueName.empty() ? o.name : o.valueName) + "\\fR" + (o.many ? "..." : "");
    std::string names;
    std::size_t start = 0;
    while (start <= o.name.size()) {
        const auto comma = std::min(o.name.find(',', start), o.name.size());
        names += (names.empty() ? "" : ", ") + std::string("\\fB") + escaped(o.name.substr(start, comma - start))
                 + "\\fR";
        start = comma + 1;
    }
    return names + (o.valueName.empty() ? "" : " \\fI" + escaped(o.valueName) + "\\fR");
}

void addOption(std::string& out, const OptionSpec& o)
{
    out += ".TP\n" + optionTerm(o) + "\n" + (o.required ? "(필수) " : "") + escaped(o.help) + "\n";
}

// "kestrelan-cli run [옵션] DIR": the positional arguments after the options.
std::string synopsis(const std::string& name, const CommandSpec& spec)
{
    std::string line = ".B " + escaped(name) + "\n.RI [ 옵션 ]\n"; // every program and command takes --help
    for (const OptionSpec& o : spec.options)
        if (isPositional(o))
            line += ".I " + escaped(o.valueName.empty() ? o.name : o.valueName) + (o.many ? " ..." : "") + "\n";
    return line;
}

void addParagraph(std::string& out, const std::string& text)
{
    if (!text.empty())
        out += ".PP\n" + escaped(text) + "\n";
}

} // namespace

std::string manPageText(const ManPage& page)
{
    const CommandSpec& program = page.program;
    std::string out
        = ".TH " + escaped(upper(program.name)) + " 1 \"\" \"" + escaped(page.version) + "\" \"Kestrelan\"\n";
    // Korean text is neither hyphenated nor stretched to the right margin.
    out += ".nh\n.ad l\n";
    out += ".SH NAME\n" + escaped(program.name) + " \\- " + escaped(page.summary.empty() ? program.help : page.summary)
           + "\n";

    out += ".SH SYNOPSIS\n";
    if (page.commands.empty()) {
        out += synopsis(program.name, program);
    } else {
        out += ".B " + escaped(program.name) + "\n.I 명령\n.RI [ 옵션 ]\n";
    }
    out += ".br\n.B " + escaped(program.name) + "\n.RB [ \\-\\-help | \\-\\-version ]\n";

    out += ".SH DESCRIPTION\n" + escaped(program.help) + "\n";
    addParagraph(out, program.footer);
    out += ".SH OPTIONS\n";
    addOption(out, {"-h,--help", "", std::string(helpOptionText)});
    addOption(out, {"--version", "", std::string(versionOptionText)});
    for (const OptionSpec& o : program.options)
        addOption(out, o);

    for (const CommandSpec& command : page.commands) {
        const std::string name = program.name + " " + command.name;
        out += ".SH \"" + escaped(upper(name)) + "\"\n";
        out += synopsis(name, command);
        out += ".PP\n" + escaped(command.help) + "\n";
        addOption(out, {"-h,--help", "", std::string(helpOptionText)});
        for (const OptionSpec& o : command.options)
            addOption(out, o);
        addParagraph(out, command.footer);
    }
    for (const auto& [title, lines] : page.sections) {
        out += ".SH \"" + escaped(title) + "\"\n";
        for (std::size_t i = 0; i < lines.size(); ++i)
            out += (i ? ".br\n" : "") + escaped(lines[i]) + "\n";
    }
    if (!page.seeAlso.empty()) {
        out += ".SH \"SEE ALSO\"\n";
        for (std::size_t i = 0; i < page.seeAlso.size(); ++i) {
            const std::string& ref = page.seeAlso[i];
            const auto paren = ref.find('(');
            out += ".BR " + escaped(ref.substr(0, paren)) + " " + ref.substr(paren) + (i + 1 < page.seeAlso.size() ? " ," : "")
                   + "\n";
        }
    }
    return out;
}

std::optional<ManPage> programManPage(const std::string& program, const std::string& version)
{
    std::string results;
    for (const auto name : resultFiles)
        results += (results.empty() ? "" : ", ") + std::string(name);
    const std::vector<std::string> files = {"작업 폴더의 kospi.lst, code.lst, ksp.txt, StockData/<종목코드>.real: 시장 데이터.",
                                            "작업 폴더의 SimItem.lst, group.lst, item.lst: 포트폴리오와 그룹.",
                                            "작업 폴더의 " + results + ": 결과."};
    const std::vector<std::string> exitStatus = {"0: 명령이 끝났습니다 (--help와 --version도).", "1: 명령이 실패했습니다.",
                                                 "2: 명령줄대로 실행할 수 없습니다 (stderr에 옵션을 밝힌 메시지)."};
    if (program == "kestrelan-cli")
        return ManPage{cliProgramSpec(), {}, cliCommandSpecs(), version, {{"EXIT STATUS", exitStatus}, {"FILES", files}},
                       {"kestrelan(1)", "kestrelan-workbook(1)"}};
    if (program == "kestrelan") {
        std::vector<std::string> desktopFiles = {"~/Kestrelan: 현재 폴더에 시장 데이터가 없을 때의 작업 폴더.",
                                                 "~/SimResult: 엑셀로 보내기가 쓰는 엑셀 파일.",
                                                 "/usr/share/kestrelan/Kestrelan.chm, /usr/share/kestrelan/help/: 도움말."};
        desktopFiles.insert(desktopFiles.end(), files.begin(), files.end());
        return ManPage{desktopProgramSpec(), "그리드 매매 펀드 시뮬레이션의 설정 창과 결과 창", {}, version,
                       {{"FILES", desktopFiles}}, {"kestrelan-cli(1)", "kestrelan-workbook(1)"}};
    }
    if (program == "kestrelan-workbook")
        return ManPage{workbookProgramSpec(), "시뮬레이션 결과를 엑셀 파일로 씁니다", {}, version,
                       {{"EXIT STATUS", exitStatus}}, {"kestrelan(1)", "kestrelan-cli(1)"}};
    return std::nullopt;
}

} // namespace kestrelan
