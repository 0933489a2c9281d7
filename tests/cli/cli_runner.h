// Runs the built orv-cli with arguments and collects its exit status and output.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../files/files_test_util.h"

namespace orv::test {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A test with a scratch folder and a way to run orv-cli (ORV_CLI_PATH) inside it.
class CliTest : public testing::Test {
  protected:
    RunResult Run(const std::vector<std::string>& args) {
        std::string cmd = ShellQuote(ORV_CLI_PATH);
        for (const auto& a : args) cmd += " " + ShellQuote(a);
        const std::string out = dir.File(".stdout"), err = dir.File(".stderr");
        cmd += " >" + ShellQuote(out) + " 2>" + ShellQuote(err) + " </dev/null";
        const int raw = std::system(cmd.c_str());
        RunResult r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadText(out);
        r.err = ReadText(err);
        return r;
    }
    TempDir dir;
};

}  // namespace orv::test
