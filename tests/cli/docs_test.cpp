// What the README and the manual page say of orv-cli is what it does: every command and option
// its help lists is documented, every option the manual page names is real, the README's
// examples run and print what the README shows, and one version is named everywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../test_env.h"
#include "cli_runner.h"

namespace orv {
namespace {

using test::RunResult;

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// The manual page as a reader sees its words: "\-" is a hyphen, font changes are not there.
std::string ManPage() {
    const std::string page = ReadText(ORV_SOURCE_DIR "/packaging/man/orv-cli.1");
    return std::regex_replace(std::regex_replace(page, std::regex(R"(\\-)"), "-"),
                              std::regex(R"(\\f[BIRP])"), "");
}

// The lines that head the entries (after ".TP") of a section of the manual page.
std::string Headings(const std::string& section) {
    std::string headings;
    const std::regex heading("\n\\.TP\n([^\n]*)");
    for (auto it = std::sregex_iterator(section.begin(), section.end(), heading);
         it != std::sregex_iterator(); ++it)
        headings += (*it)[1].str() + "\n";
    return headings;
}

// The text between a line starting with from and the next line starting with the same prefix.
std::string Section(const std::string& text, const std::string& from) {
    const auto start = text.find("\n" + from);
    if (start == std::string::npos) return {};
    const auto end = text.find("\n" + from.substr(0, 4), start + 1);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool HasWord(const std::string& text, const std::string& word) {
    return std::regex_search(text, std::regex("(^|[^A-Za-z0-9-])" + word + "([^A-Za-z0-9-]|$)"));
}

class Docs : public test::CliTest {
  protected:
    // The commands "orv-cli --help" lists, each with the options its own help lists.
    std::vector<std::pair<std::string, std::set<std::string>>> Commands() {
        std::vector<std::pair<std::string, std::set<std::string>>> commands;
        const auto lines = LinesOf(Run({"--help"}).out);
        auto line = std::find(lines.begin(), lines.end(), "Commands:");
        for (++line; line != lines.end() && line->starts_with("  "); ++line) {
            const std::string name = Words(*line)[0];
            std::set<std::string> options;
            for (const auto& help : LinesOf(Run({name, "--help"}).out)) {
                for (std::string w : Words(help)) {
                    if (!w.empty() && w.back() == ',') w.pop_back();
                    if (!std::regex_match(w, std::regex("-[a-z]|--[a-z][a-z-]+"))) break;
                    options.insert(w);
                }
            }
            commands.emplace_back(name, options);
        }
        return commands;
    }
};

TEST_F(Docs, EveryCommandAndOptionIsDocumentedAndEveryDocumentedOptionIsReal) {
    const std::string readme = ReadText(ORV_SOURCE_DIR "/README.md");
    const std::string man = ManPage();
    const std::string windows = readme.substr(readme.find("What runs on Windows today"), 600);
    const std::string fileHeadings = Headings(Section(man, ".SH FILE COMMANDS"));
    const std::string unitHeadings = Headings(Section(man, ".SH UNIT COMMANDS"));
    std::set<std::string> real{"--help", "--version"};
    const auto commands = Commands();
    ASSERT_GE(commands.size(), 20u);
    for (const auto& [name, options] : commands) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(readme.find("`" + name + " ") != std::string::npos ||
                    readme.find("`" + name + "`") != std::string::npos);
        EXPECT_NE(windows.substr(0, windows.find("It\nwrites")).find("`" + name + "`"),
                  std::string::npos);
        // Under its own heading: a command that takes no link options is a file command.
        const bool unit = options.contains("--port") || options.contains("--map");
        EXPECT_TRUE(HasWord(unit ? unitHeadings : fileHeadings, name));
        EXPECT_FALSE(HasWord(unit ? fileHeadings : unitHeadings, name));
        for (const auto& option : options) {
            SCOPED_TRACE(option);
            real.insert(option);
            EXPECT_NE(readme.find(option.size() == 2 ? "`" + option + "`" : option),
                      std::string::npos);
            EXPECT_TRUE(HasWord(man, option));
        }
    }
    // The manual page names no long option that no command has.
    const std::regex longOption("--[a-z][a-z-]+");
    for (auto it = std::sregex_iterator(man.begin(), man.end(), longOption);
         it != std::sregex_iterator(); ++it)
        EXPECT_TRUE(real.contains(it->str())) << it->str();
}

TEST_F(Docs, OneVersionEverywhere) {
    const RunResult version = Run({"--version"});
    ASSERT_EQ(version.out.rfind("orv-cli ", 0), 0u) << version.out;
    const std::string number = version.out.substr(8, version.out.size() - 9);
    EXPECT_EQ(number, ORV_PROJECT_VERSION);
    EXPECT_NE(Run({"--help"}).out.find("version " + number + ".\n"), std::string::npos);
    for (const char* page : {"orv-cli", "orv-config", "orv-unit-sim"}) {
        const std::string built = ReadText(std::string(ORV_BUILD_DIR "/man/") + page + ".1");
        EXPECT_NE(
            built.substr(0, built.find('\n')).find("\"ORV Pro Configuration " + number + "\""),
            std::string::npos)
            << page;
    }
}

// The fenced block after the marker is a transcript: "$ orv-cli ..." lines are run in a scratch
// folder, the lines after one are what it prints (standard error first), "..." ends a comparison
// early. A command exits with 0 unless a last line "(exit status N)" says otherwise.
TEST_F(Docs, ReadmeExamplesRun) {
    const std::string readme = ReadText(ORV_SOURCE_DIR "/README.md");
    const auto marker = readme.find("<!-- examples: run by tests/cli/docs_test.cpp -->");
    ASSERT_NE(marker, std::string::npos);
    const auto lines = LinesOf(readme.substr(marker));
    ASSERT_GT(lines.size(), 2u);
    ASSERT_EQ(lines[1], "```console");
    SetEnv(kHistoryBaseVariable, dir.File("data"));
    WriteText(dir.File("table.csv"),
              "Bank,Channel,State,Message\r\n1,1,RESET,Caf\xC3\xA9 fire\r\n");
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.File(""));
    int run = 0;
    for (std::size_t k = 2; k < lines.size() && lines[k] != "```";) {
        ASSERT_EQ(lines[k].rfind("$ orv-cli ", 0), 0u) << lines[k];
        const auto words = Words(lines[k].substr(2));
        ASSERT_EQ(lines[k].find_first_of("'\""), std::string::npos) << "no quoting here";
        std::vector<std::string> expected;
        for (++k; k < lines.size() && lines[k] != "```" && !lines[k].starts_with("$ "); ++k)
            expected.push_back(lines[k]);
        const RunResult r = Run(std::vector<std::string>(words.begin() + 1, words.end()));
        ++run;
        SCOPED_TRACE(lines[k - expected.size() - 1]);
        int status = 0;
        if (std::smatch m;
            !expected.empty() &&
            std::regex_match(expected.back(), m, std::regex(R"(\(exit status (\d)\))"))) {
            status = std::stoi(m[1]);
            expected.pop_back();
        }
        EXPECT_EQ(r.status, status) << r.err;
        auto printed = LinesOf(r.err + r.out);
        if (!expected.empty() && expected.back() == "...") {
            expected.pop_back();
            if (printed.size() > expected.size()) printed.resize(expected.size());
        }
        EXPECT_EQ(printed, expected);
    }
    std::filesystem::current_path(here);
    EXPECT_GE(run, 8);
}

}  // namespace
}  // namespace orv
