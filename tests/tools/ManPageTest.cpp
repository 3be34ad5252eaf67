// The manual pages say what --help says: every command a section, every option with its help.

#include "tools/ManPage.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>

using namespace kestrelan;

namespace {

// An option name as the page writes it (a hyphen is typed as a minus).
std::string roff(std::string text)
{
    std::string out;
    for (char c : text)
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

} // namespace

TEST(ManPageTest, EveryCommandAndOptionOfEveryProgram)
{
    for (const char* program : {"kestrelan-cli", "kestrelan", "kestrelan-workbook"}) {
        const auto page = programManPage(program, "Kestrelan 9.9");
        ASSERT_TRUE(page) << program;
        const std::string text = manPageText(*page);
        EXPECT_EQ(text.rfind(".TH ", 0), 0u) << program;
        EXPECT_NE(text.find(".SH NAME\n" + roff(program) + " \\- "), std::string::npos) << program;
        std::vector<CommandSpec> specs = page->commands;
        specs.push_back(page->program);
        for (const CommandSpec& spec : specs) {
            if (!page->commands.empty() && &spec != &specs.back()) {
                std::string title = "KESTRELAN-CLI " + spec.name;
                std::transform(title.begin(), title.end(), title.begin(), [](unsigned char c) { return std::toupper(c); });
                EXPECT_NE(text.find(".SH \"" + roff(title) + "\"\n"), std::string::npos) << spec.name;
            }
            for (const OptionSpec& o : spec.options) {
                // the term on its line, the help (the part of it before a line break) on the next
                const auto at = text.find(roff(o.name.starts_with('-') ? o.name : o.valueName));
                ASSERT_NE(at, std::string::npos) << program << ' ' << spec.name << ' ' << o.name;
                const std::string help = o.help.substr(0, o.help.find('\n'));
                EXPECT_NE(text.find(roff(help), at), std::string::npos) << program << ' ' << o.name;
            }
        }
    }
    EXPECT_FALSE(programManPage("kestrelan-bench", "Kestrelan 9.9"));
}

TEST(ManPageTest, TextIsNeverTakenForARequest)
{
    ManPage page;
    page.program = {"tool", "a tool", {{"--x", "N", ".starts with a dot\n'and a quote \\ backslash"}}, ""};
    const std::string text = manPageText(page);
    EXPECT_NE(text.find("\n\\&.starts with a dot\n\\&'and a quote \\e backslash\n"), std::string::npos) << text;
}
