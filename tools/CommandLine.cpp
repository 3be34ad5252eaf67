#include "tools/CommandLine.h"

#include "engine/Dates.h"
#include "engine/RunInputs.h"
#include "engine/SimParams.h"
#include "platform/core/Folders.h"
#include "tools/DataCommands.h"
#include "tools/RunCommand.h"
#include "tools/ShowCommand.h"
#include "tools/SweepCommand.h"
#include "tools/Terminal.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <memory>
#include <ostream>

#ifndef KESTRELAN_VERSION
#error "KESTRELAN_VERSION is set by the build from the project's version"
#endif

namespace kestrelan {

namespace {

constexpr const char* programName = "kestrelan-cli";
constexpr const char* programHelp = "창 없이 시뮬레이션 엔진을 실행합니다.";
constexpr const char* programFooter = "명령마다 --help로 옵션을 볼 수 있습니다 (예: kestrelan-cli run --help).";
constexpr const char* optionsGroup = "옵션";
constexpr const char* commandsGroup = "명령";

// CLI11's help in the program's language. "(필수)" goes before the description: the name column
// is padded by bytes, and a Korean letter takes three bytes for two columns.
class KoreanFormatter : public CLI::Formatter
{
public:
    KoreanFormatter()
    {
        for (const auto& [english, korean] : {std::pair{"Usage", "사용법"},
                                              {"OPTIONS", "옵션"},
                                              {"SUBCOMMAND", "명령"},
                                              {"SUBCOMMANDS", "명령"},
                                              {"Positionals", "인수"},
                                              {"REQUIRED", "(필수)"},
                                              {"Env", "환경 변수"},
                                              {"Needs", "필요:"},
                                              {"Excludes", "함께 쓸 수 없음:"}})
            label(english, korean);
        column_width(34);
    }

    std::string make_option_opts(const CLI::Option* option) const override
    {
        std::string text = Formatter::make_option_opts(option);
        const std::string mark = " " + get_label("REQUIRED");
        if (option->get_required() && text.ends_with(mark))
            text.resize(text.size() - mark.size());
        return text;
    }

    std::string make_option_desc(const CLI::Option* option) const override
    {
        return (option->get_required() ? get_label("REQUIRED") + " " : std::string()) + option->get_description();
    }
};

bool looksLikeOption(std::string_view arg) { return arg.size() > 1 && arg[0] == '-'; }

bool isPositional(const OptionSpec& spec) { return !spec.name.starts_with('-'); }

// The command an argument list names, for the pointer to its --help.
std::string commandOf(const std::vector<CommandSpec>& commands, const std::vector<std::string>& args)
{
    for (const std::string& arg : args)
        if (std::any_of(commands.begin(), commands.end(), [&](const CommandSpec& c) { return c.name == arg; }))
            return arg;
    return {};
}

// "--start=" gives no value; the parser would otherwise take the next argument for it.
void refuseEmptyAssignments(const std::vector<CommandSpec>& commands, const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return;
        if (arg.size() > 3 && arg.starts_with("--") && arg.find('=') == arg.size() - 1)
            throw UsageError(arg.substr(0, arg.size() - 1) + ": 값을 입력하십시오.", commandOf(commands, args));
    }
}

std::string unknownMessage(const std::string& arg, const CLI::App* command)
{
    if (looksLikeOption(arg))
        return "알 수 없는 옵션입니다: " + arg.substr(0, arg.find('='));
    if (command == nullptr)
        return "알 수 없는 명령입니다: " + arg;
    return "필요 없는 인수입니다: " + arg;
}

// CLI11's errors that the checks after parsing do not already name.
std::string koreanMessage(const CLI::ParseError& e)
{
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e))
        return "옵션의 값의 개수가 맞지 않습니다.";
    if (dynamic_cast<const CLI::ConversionError*>(&e) || dynamic_cast<const CLI::ValidationError*>(&e))
        return "옵션의 값을 읽을 수 없습니다.";
    return "명령줄을 읽을 수 없습니다.";
}

std::string join(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

CLI::App& setUp(CLI::App& app, const std::string& name)
{
    app.formatter(std::make_shared<KoreanFormatter>());
    // Every option keeps each value given, so that a repeated one can be named below.
    app.option_defaults()->group(optionsGroup)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.set_help_flag("-h,--help", std::string(helpOptionText));
    app.set_version_flag("--version", name + " " + KESTRELAN_VERSION, std::string(versionOptionText));
    // Unknown arguments are kept and named below rather than in CLI11's words.
    app.allow_extras();
    return app;
}

void addOptions(CLI::App& app, const CommandSpec& spec)
{
    for (const OptionSpec& o : spec.options) {
        CLI::Option* option = o.valueName.empty() ? app.add_flag(o.name, o.help) : app.add_option(o.name, o.help);
        // An option's value is optional to the parser: an option right after it stays an
        // option, and the missing value is named below.
        if (!o.valueName.empty() && !isPositional(o))
            option->type_name(o.valueName)->expected(0, 1);
        if (o.many)
            option->expected(-1); // one or more, each a value of its own
        if (o.required)
            option->required();
    }
}

// The values `app` parsed for the options of `spec`; `missing`: a required one was not given.
OptionValues optionValues(const CommandSpec& spec, const CLI::App& app, const std::string& command, bool missing)
{
    if (missing) {
        std::vector<std::string> names;
        for (const OptionSpec& o : spec.options)
            if (o.required && app.get_option(o.name)->count() == 0)
                names.push_back(o.name);
        throw UsageError("꼭 입력해야 합니다: " + join(names), command);
    }

    std::map<std::string, std::string> values;
    for (const OptionSpec& o : spec.options) {
        const CLI::Option* option = app.get_option(o.name);
        if (option->count() == 0)
            continue;
        if (option->count() > 1 && !o.many)
            throw UsageError(o.name + ": 한 번만 입력하십시오.", command);
        std::string value = option->results().front();
        if (o.many) {
            // CLI11 takes the arguments last first and gives a positional's values in the order typed.
            value.clear();
            for (const auto& name : option->results())
                value += (value.empty() ? "" : "\n") + name;
        }
        if (o.valueName.empty() && value != "true")
            throw UsageError(o.name + ": 값을 받지 않는 옵션입니다 (" + value + ")", command);
        if (!o.valueName.empty() && value.empty())
            throw UsageError(o.name + ": 값을 입력하십시오.", command);
        values[o.name] = o.valueName.empty() ? std::string() : value;
    }
    return OptionValues(command, std::move(values));
}

struct Command
{
    CommandSpec spec;
    std::function<int(const OptionValues&, std::ostream& out, std::ostream& err)> run;
};

std::vector<Command> commandTable()
{
    return {
        {runCommandSpec(),
         [](const OptionValues& values, std::ostream&, std::ostream&) {
             return runFromCommandLine(values, workingFolder(), programFolder());
         }},
        {showCommandSpec(), showCommand},
        {historyCommandSpec(), historyCommand},
        {sweepCommandSpec(), sweepCommand},
        {sweepMergeCommandSpec(), sweepMergeCommand},
        {sampleDataCommandSpec(),
         [](const OptionValues& values, std::ostream& out, std::ostream& err) {
             return sampleDataCommand(values, out, err);
         }},
        {importCsvCommandSpec(), importCsvCommand},
        {mergeUpdateCommandSpec(),
         [](const OptionValues& values, std::ostream& out, std::ostream&) {
             StderrMessages messages;
             const auto workDir = workingFolder();
             return mergeUpdateCommand(values, workDir, marketPriceFolder(workDir, programFolder()), out, messages);
         }},
    };
}

} // namespace

std::optional<std::int64_t> wholeInteger(std::string_view text)
{
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

OptionValues::OptionValues(std::string command, std::map<std::string, std::string> given)
    : name(std::move(command))
    , values(given.begin(), given.end())
{
}

OptionValues OptionValues::without(std::initializer_list<std::string_view> options) const
{
    OptionValues rest = *this;
    for (const auto option : options)
        if (const auto it = rest.values.find(option); it != rest.values.end())
            rest.values.erase(it);
    return rest;
}

std::vector<std::filesystem::path> OptionValues::paths(std::string_view option) const
{
    std::vector<std::filesystem::path> out;
    const auto all = text(option);
    if (!all)
        return out;
    std::size_t start = 0;
    while (start <= all->size()) {
        const auto end = std::min(all->find('\n', start), all->size());
        const std::string name = all->substr(start, end - start);
        if (!name.empty() && name[0] == '-')
            throw error(option, "옵션처럼 보이는 값은 이름으로 쓸 수 없습니다. ./" + name + "처럼 입력하십시오.");
        out.emplace_back(name);
        start = end + 1;
    }
    return out;
}

OptionValues OptionValues::withDefault(const std::string& option, const std::string& value) const
{
    OptionValues more = *this;
    more.values.emplace(option, value);
    return more;
}

bool OptionValues::has(std::string_view option) const { return values.find(option) != values.end(); }

std::optional<std::string> OptionValues::text(std::string_view option) const
{
    const auto it = values.find(option);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

UsageError OptionValues::error(std::string_view option, const std::string& message) const
{
    return UsageError(std::string(option) + ": " + message, name);
}

std::optional<std::int64_t> OptionValues::integer(std::string_view option, std::int64_t low, std::int64_t high) const
{
    const auto t = text(option);
    if (!t)
        return std::nullopt;
    const auto value = wholeInteger(*t);
    if (!value || *value < low || *value > high)
        throw error(option,
                    std::to_string(low) + " 이상 " + std::to_string(high) + " 이하의 정수를 입력하십시오 (" + *t + ")");
    return value;
}

std::optional<double> OptionValues::decimal(std::string_view option) const
{
    const auto t = text(option);
    if (!t)
        return std::nullopt;
    double value = 0;
    const char* end = t->data() + t->size();
    const auto [stop, ec] = std::from_chars(t->data(), end, value, std::chars_format::fixed);
    if (ec != std::errc() || stop != end || !std::isfinite(value))
        throw error(option, "숫자를 입력하십시오 (" + *t + ")");
    return value;
}

std::optional<std::int32_t> OptionValues::date(std::string_view option) const
{
    const auto t = text(option);
    if (!t)
        return std::nullopt;
    const bool dashed = t->size() == 10 && (*t)[4] == '-' && (*t)[7] == '-';
    std::string digits;
    for (std::size_t i = 0; i < t->size(); ++i)
        if (!(dashed && (i == 4 || i == 7)))
            digits += (*t)[i];
    if (digits.size() != 8 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw error(option, "날짜는 YYYYMMDD 또는 YYYY-MM-DD로 입력하십시오 (" + *t + ")");
    const std::int32_t d = std::stoi(digits);
    if (!isCalendarDate(d))
        throw error(option, "없는 날짜입니다 (" + *t + ")");
    if (d < minDate)
        throw error(option, dateText(minDate) + " 이후의 날짜를 입력하십시오 (" + *t + ")");
    return d;
}

std::optional<std::filesystem::path> OptionValues::path(std::string_view option) const
{
    const auto t = text(option);
    if (!t)
        return std::nullopt;
    if (t->starts_with('-'))
        throw error(option,
                    "옵션처럼 보이는 값은 파일이나 폴더 이름으로 받지 않습니다 (" + *t + "). 그런 이름이면 ./" + *t
                        + "처럼 입력하십시오.");
    return std::filesystem::path(*t);
}

ParsedCommandLine parseCommandLine(const std::vector<CommandSpec>& commands, const std::vector<std::string>& args)
{
    refuseEmptyAssignments(commands, args);

    CLI::App app(programHelp, programName);
    setUp(app, programName);
    app.require_subcommand(1);
    app.footer(programFooter);
    std::vector<std::pair<const CommandSpec*, CLI::App*>> subcommands;
    for (const CommandSpec& spec : commands) {
        CLI::App* sub = app.add_subcommand(spec.name, spec.help);
        sub->group(commandsGroup);
        sub->set_help_flag("-h,--help", std::string(helpOptionText)); // again, now in the options group
        sub->footer(spec.footer);
        addOptions(*sub, spec);
        subcommands.emplace_back(&spec, sub);
    }

    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them last first
    ParsedCommandLine parsed;
    bool missing = false;
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.request = ParsedCommandLine::Request::Help;
        parsed.output = app.help();
        return parsed;
    } catch (const CLI::CallForVersion& e) {
        parsed.request = ParsedCommandLine::Request::Version;
        parsed.output = std::string(e.what()) + "\n";
        return parsed;
    } catch (const CLI::RequiredError&) {
        missing = true; // named below, after any unknown argument
    } catch (const CLI::ParseError& e) {
        throw UsageError(koreanMessage(e), commandOf(commands, args));
    }

    const auto chosen = std::find_if(subcommands.begin(), subcommands.end(),
                                     [&](const auto& s) { return app.got_subcommand(s.second); });
    const CLI::App* sub = chosen == subcommands.end() ? nullptr : chosen->second;
    const std::string command = sub ? sub->get_name() : std::string();
    // CLI11 keeps a "--" among the remaining arguments so that they could be passed on as typed.
    for (const std::string& arg : app.remaining(true))
        if (arg != "--")
            throw UsageError(unknownMessage(arg, sub), command);
    if (!sub) {
        std::vector<std::string> names;
        for (const CommandSpec& spec : commands)
            names.push_back(spec.name);
        throw UsageError("명령을 입력하십시오: " + join(names), command);
    }
    parsed.values = optionValues(*chosen->first, *sub, command, missing);
    return parsed;
}

CommandSpec cliProgramSpec()
{
    return {programName, programHelp, {}, programFooter};
}

std::vector<CommandSpec> cliCommandSpecs()
{
    std::vector<CommandSpec> specs;
    for (const Command& c : commandTable())
        specs.push_back(c.spec);
    return specs;
}

ParsedCommandLine parseProgramCommandLine(const CommandSpec& program, const std::vector<std::string>& args)
{
    refuseEmptyAssignments({}, args);
    CLI::App app(program.help, program.name);
    setUp(app, program.name).footer(program.footer);
    addOptions(app, program);

    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them last first
    ParsedCommandLine parsed;
    bool missing = false;
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.request = ParsedCommandLine::Request::Help;
        parsed.output = app.help();
        return parsed;
    } catch (const CLI::CallForVersion& e) {
        parsed.request = ParsedCommandLine::Request::Version;
        parsed.output = std::string(e.what()) + "\n";
        return parsed;
    } catch (const CLI::RequiredError&) {
        missing = true;
    } catch (const CLI::ParseError& e) {
        throw UsageError(koreanMessage(e));
    }
    for (const std::string& arg : app.remaining(true))
        if (arg != "--")
            throw UsageError(unknownMessage(arg, &app));
    parsed.values = optionValues(program, app, {}, missing);
    return parsed;
}

std::optional<OptionValues> readProgramCommandLine(const CommandSpec& program, const std::vector<std::string>& args,
                                                   std::ostream& out, std::ostream& err, int& status)
{
    try {
        const ParsedCommandLine parsed = parseProgramCommandLine(program, args);
        if (parsed.request == ParsedCommandLine::Request::Command)
            return parsed.values;
        out << parsed.output;
        status = exitDone;
    } catch (const UsageError& e) {
        err << e.what() << "\n'" << program.name << " --help'로 사용법을 볼 수 있습니다.\n";
        status = exitUsage;
    }
    return std::nullopt;
}

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const std::vector<Command> table = commandTable();
    std::vector<CommandSpec> specs;
    for (const Command& c : table)
        specs.push_back(c.spec);
    try {
        const ParsedCommandLine parsed = parseCommandLine(specs, args);
        if (parsed.request != ParsedCommandLine::Request::Command) {
            out << parsed.output;
            return exitDone;
        }
        for (const Command& c : table)
            if (c.spec.name == parsed.values.command())
                return c.run(parsed.values, out, err);
        return exitUsage;
    } catch (const UsageError& e) {
        err << e.what() << "\n'" << programName << (e.command.empty() ? "" : " ") << e.command
            << " --help'로 사용법을 볼 수 있습니다.\n";
        return exitUsage;
    } catch (const std::exception& e) {
        err << programName << ": " << e.what() << '\n';
        return exitFailed;
    }
}

} // namespace kestrelan
