// What the README and the manual page say of orv-cli is what it does: every command and option
// its help lists is documented, every option the manual page names is real, and the README's
// examples run and print what the README shows. (The version the pages name: package_install.)
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "../test_env.h"
#include "cli_runner.h"

namespace orv {
namespace {

std::vector<std::string> Split(const std::string& text, bool words) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string s;
         words ? static_cast<bool>(in >> s) : static_cast<bool>(std::getline(in, s));)
        parts.push_back(s);
    return parts;
}

bool HasWord(const std::string& text, const std::string& word) {
    return std::regex_search(text, std::regex("(^|[^A-Za-z0-9-])" + word + "([^A-Za-z0-9-]|$)"));
}

// The lines heading the entries (after ".TP") of one section of the manual page, as read:
// "\-" is a hyphen, font changes are not there.
std::string ManHeadings(const std::string& page, const std::string& section) {
    const auto start = page.find("\n.SH " + section), end = page.find("\n.SH ", start + 1);
    const std::string text = page.substr(start, end - start);
    std::string headings;
    const std::regex heading("\n\\.TP\n([^\n]*)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), heading);
         it != std::sregex_iterator(); ++it)
        headings += (*it)[1].str() + "\n";
    return headings;
}

class Docs : public test::CliTest {};

TEST_F(Docs, EveryCommandAndOptionIsDocumentedAndEveryDocumentedOptionIsReal) {
    const std::string readme = ReadText(ORV_SOURCE_DIR "/README.md");
    std::string man = ReadText(ORV_SOURCE_DIR "/packaging/man/orv-cli.1");
    man = std::regex_replace(std::regex_replace(man, std::regex(R"(\\-)"), "-"),
                             std::regex(R"(\\f[BIRP])"), "");
    std::string windows = readme.substr(readme.find("**orv-cli.exe** has every command"));
    windows.resize(windows.find("It writes"));
    std::set<std::string> real{"--help", "--version"};
    const auto global = Split(Run({"--help"}).out, false);
    auto line = std::find(global.begin(), global.end(), "Commands:");
    int commands = 0;
    for (++line; line != global.end() && line->starts_with("  "); ++line, ++commands) {
        const std::string name = Split(*line, true)[0];
        SCOPED_TRACE(name);
        std::set<std::string> options;  // the spellings that open the option lines of its help
        for (const auto& help : Split(Run({name, "--help"}).out, false)) {
            for (std::string w : Split(help, true)) {
                if (!w.empty() && w.back() == ',') w.pop_back();
                if (!std::regex_match(w, std::regex("-[a-z]|--[a-z][a-z-]+"))) break;
                options.insert(w);
            }
        }
        EXPECT_TRUE(readme.find("`" + name + " ") != std::string::npos ||
                    readme.find("`" + name + "`") != std::string::npos);
        EXPECT_NE(windows.find("`" + name + "`"), std::string::npos);
        // Under its own heading: a command that reaches no unit is a file command.
        const bool unit = options.contains("--port") || options.contains("--map") ||
                          options.contains("--connect-timeout");
        EXPECT_TRUE(HasWord(ManHeadings(man, unit ? "UNIT COMMANDS" : "FILE COMMANDS"), name));
        EXPECT_FALSE(HasWord(ManHeadings(man, unit ? "FILE COMMANDS" : "UNIT COMMANDS"), name));
        for (const auto& option : options) {
            real.insert(option);
            EXPECT_NE(readme.find(option.size() == 2 ? "`" + option + "`" : option),
                      std::string::npos)
                << option;
            EXPECT_TRUE(HasWord(man, option)) << option;
        }
    }
    EXPECT_GE(commands, 20);
    const std::regex longOption("--[a-z][a-z-]+");
    for (auto it = std::sregex_iterator(man.begin(), man.end(), longOption);
         it != std::sregex_iterator(); ++it)
        EXPECT_TRUE(real.contains(it->str())) << it->str() << " is no option of orv-cli";
}

// The fenced block after the marker is a transcript: "$ orv-cli ..." lines are run in a scratch
// folder, the lines after one are what it prints (standard error first), "..." ends a comparison
// early. A command exits with 0 unless a last line "(exit status N)" says otherwise.
TEST_F(Docs, ReadmeExamplesRun) {
    const std::string readme = ReadText(ORV_SOURCE_DIR "/README.md");
    const auto marker = readme.find("<!-- examples: run by tests/cli/docs_test.cpp -->");
    ASSERT_NE(marker, std::string::npos);
    const auto lines = Split(readme.substr(marker), false);
    ASSERT_EQ(lines.at(1), "```console");
    SetEnv(kHistoryBaseVariable, dir.File("data"));
    WriteText(dir.File("table.csv"),
              "Bank,Channel,State,Message\r\n1,1,RESET,Caf\xC3\xA9 fire\r\n");
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.File(""));
    int run = 0;
    for (std::size_t k = 2; k < lines.size() && lines[k] != "```"; ++run) {
        const std::string command = lines[k];
        SCOPED_TRACE(command);
        ASSERT_EQ(command.rfind("$ orv-cli ", 0), 0u);
        ASSERT_EQ(command.find_first_of("'\""), std::string::npos) << "no quoting here";
        std::vector<std::string> expected;
        for (++k; k < lines.size() && lines[k] != "```" && !lines[k].starts_with("$ "); ++k)
            expected.push_back(lines[k]);
        int status = 0;
        if (std::smatch m;
            !expected.empty() &&
            std::regex_match(expected.back(), m, std::regex(R"(\(exit status (\d)\))"))) {
            status = std::stoi(m[1]);
            expected.pop_back();
        }
        const auto words = Split(command.substr(10), true);
        const test::RunResult r = Run(words);
        EXPECT_EQ(r.status, status) << r.err;
        auto printed = Split(r.err + r.out, false);
        if (!expected.empty() && expected.back() == "...") {
            expected.pop_back();
            printed.resize(std::min(printed.size(), expected.size()));
        }
        EXPECT_EQ(printed, expected);
    }
    std::filesystem::current_path(here);
    EXPECT_GE(run, 8);
}

}  // namespace
}  // namespace orv
