#pragma once
// Manual pages made from the programs' own command-line tables, so that `man kestrelan-cli` and
// `kestrelan-cli run --help` say the same: the program's description and options, then a section
// per command with its options, each in the words of its --help.

#include "tools/CommandLine.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrelan {

struct ManPage
{
    CommandSpec program;               // the name, the description, options, footer
    std::string summary;               // the NAME line (whatis); empty: the description
    std::vector<CommandSpec> commands; // one section each
    std::string version;               // "Kestrelan 0.1"
    std::vector<std::pair<std::string, std::vector<std::string>>> sections; // after the commands: title, lines
    std::vector<std::string> seeAlso;                          // "kestrelan(1)"
};

/// The page in man(7) roff, section 1, UTF-8. --help and --version are listed for the program
/// and --help for every command, as the programs take them.
std::string manPageText(const ManPage& page);

/// The pages of kestrelan, kestrelan-cli and kestrelan-workbook, by program name; nullopt for
/// another name.
std::optional<ManPage> programManPage(const std::string& program, const std::string& version);

} // namespace kestrelan
