#pragma once
// kestrelan-cli's command line: one parser for the program and its commands, with the rules
// every command shares (--help, --opt=value, an option given once, numbers and dates read whole)
// and its texts in Korean.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <iosfwd>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

/// Exit statuses of kestrelan-cli.
constexpr int exitDone = 0;   // the command finished; also --help and --version
constexpr int exitFailed = 1; // the command itself failed
constexpr int exitUsage = 2;  // the command line cannot be carried out as written

/// What -h,--help and --version say of themselves in every program's help (every program and
/// command takes them).
inline constexpr std::string_view helpOptionText = "이 도움말을 보이고 끝냅니다";
inline constexpr std::string_view versionOptionText = "버전을 보이고 끝냅니다";

/// A command line that cannot be carried out as written. The message is Korean and names the
/// option or the argument it is about.
class UsageError : public std::invalid_argument
{
public:
    explicit UsageError(const std::string& message, std::string command = {})
        : std::invalid_argument(message)
        , command(std::move(command))
    {
    }
    std::string command; ///< whose --help the message points to; empty: the program's
};

/// A decimal integer, all of it: "2x", "1,300", "1e3", "+5", " 5" and "" give nullopt, as does a
/// value beyond 64 bits.
std::optional<std::int64_t> wholeInteger(std::string_view text);

/// One option of a command as --help shows it. A name without dashes is the command's
/// positional argument.
struct OptionSpec
{
    std::string name;      // "--margin", or "DIR"
    std::string valueName; // "N", "DIR", ...; empty: a switch that takes no value
    std::string help;
    bool required = false;
    bool many = false; // a positional argument that takes one value or more
};

struct CommandSpec
{
    std::string name;
    std::string help;
    std::vector<OptionSpec> options;
    std::string footer; // after the options in --help
};

/// The values of one command line's options as typed, each given once and not empty. The readers
/// return nullopt for an option that was not given and throw UsageError, naming the option, for
/// a value they cannot take.
class OptionValues
{
public:
    OptionValues() = default;
    OptionValues(std::string command, std::map<std::string, std::string> values);

    const std::string& command() const { return name; }
    bool has(std::string_view option) const;
    std::optional<std::string> text(std::string_view option) const;
    /// A decimal integer, all of it: "2x", "1,300", "1e3" and "+5" are refused.
    std::optional<std::int64_t> integer(std::string_view option, std::int64_t low, std::int64_t high) const;
    /// A decimal number such as 0.2 or -1.5, all of it and finite.
    std::optional<double> decimal(std::string_view option) const;
    /// YYYYMMDD or YYYY-MM-DD, a date of the calendar from 1900 on, as yyyymmdd.
    std::optional<std::int32_t> date(std::string_view option) const;
    /// A file or folder name; one that starts with '-' looks like an option and is refused.
    std::optional<std::filesystem::path> path(std::string_view option) const;
    /// The names of a positional argument that takes several, each read as path() reads one.
    std::vector<std::filesystem::path> paths(std::string_view option) const;

    /// The same values without the named options (a command that reads some options itself and
    /// hands the rest to another command's reader).
    OptionValues without(std::initializer_list<std::string_view> options) const;
    /// The same values with `option` given as `value` where it was not given.
    OptionValues withDefault(const std::string& option, const std::string& value) const;

    /// A UsageError about `option` that points to this command's --help.
    UsageError error(std::string_view option, const std::string& message) const;

private:
    std::string name;
    std::map<std::string, std::string, std::less<>> values;
};

/// What a command line asks for.
struct ParsedCommandLine
{
    enum class Request
    {
        Command,
        Help,
        Version
    };
    Request request = Request::Command;
    std::string output; // the help or version text
    OptionValues values;
};

/// Reads `args` (without the program's name) against the commands; throws UsageError.
ParsedCommandLine parseCommandLine(const std::vector<CommandSpec>& commands, const std::vector<std::string>& args);

/// kestrelan-cli itself as its --help shows it: its description and the footer (its own options
/// are --help and --version).
CommandSpec cliProgramSpec();
/// kestrelan-cli's commands, in the order its --help lists them (for its manual page).
std::vector<CommandSpec> cliCommandSpecs();

/// Reads the command line of a program without commands (kestrelan, kestrelan-workbook) against
/// its options and --help and --version, by the same rules as kestrelan-cli's commands; throws
/// UsageError.
ParsedCommandLine parseProgramCommandLine(const CommandSpec& program, const std::vector<std::string>& args);

/// parseProgramCommandLine for a program's main(): the values to go on with, or nullopt with
/// `status` set, after --help or --version (printed to `out`, exitDone) or a usage error (on `err`
/// with the pointer to --help, exitUsage).
std::optional<OptionValues> readProgramCommandLine(const CommandSpec& program, const std::vector<std::string>& args,
                                                   std::ostream& out, std::ostream& err, int& status);

/// Reads and carries out one kestrelan-cli command line (`args` without the program's name):
/// help and the version go to `out`, a usage error to `err` with a pointer to --help. Returns
/// the exit status. The commands print their own messages with stdio, as the engine's message
/// sink does.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kestrelan
