// The text of a PDF as pdftotext (Debian's poppler-utils) reads it back, for the tests of the
// commissioning sheet (the sheet's own and orv-cli's).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace orv::test {

// A text with every run of blanks made one, to look it up in PdfText.
inline std::string SingleBlanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' || out.empty() || out.back() != ' ') out += c;
    return out;
}

#ifndef _WIN32
// Runs a command and gives what it wrote to standard output.
inline std::string CommandOutput(const std::string& command, int* status = nullptr) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        const int raw = ::pclose(pipe);
        if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return out;
}

// The text of a PDF, its pages separated by form feeds, with every run of blanks made one (the
// columns of a row are set apart by blanks of any width).
inline std::string PdfText(const std::string& path) {
    int status = -1;
    const std::string raw =
        CommandOutput("pdftotext -layout -enc UTF-8 '" + path + "' - 2>&1", &status);
    EXPECT_EQ(status, 0) << "pdftotext failed (scripts/setup installs poppler-utils): " << raw;
    return SingleBlanks(raw);
}

#endif

}  // namespace orv::test
