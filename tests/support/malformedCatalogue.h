// The catalogue of malformed inputs: every case must end its load in exactly one ERROR row, and that
// row, or the WARNING row written just before it where the ERROR row's prescribed text leaves the file
// out, must name the file and say what is wrong with it.
#pragma once

#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quorvel::test {

// What a failed load wrote last: its ERROR row, the WARNING row right before it (empty when the row
// before is no WARNING), and how many ERROR rows the log holds.
struct FailureReport {
    std::string warning;
    std::string error;
    int errors = 0;
};

inline FailureReport LastFailure(const std::string& log) {
    FailureReport report;
    std::string previousLevel;
    std::string previousText;
    std::istringstream lines(log);
    const std::string end = "</td></tr>";
    for (std::string line; std::getline(lines, line);) {
        std::string level;
        for (const char* candidate : {"MESSAGE", "WARNING", "ERROR"})
            if (line.find(std::string("<td>") + candidate + "</td>") != std::string::npos)
                level = candidate;
        if (level.empty() || line.size() < end.size())
            continue;
        const std::string cells = line.substr(0, line.size() - end.size());
        const std::string text = cells.substr(cells.rfind("<td>") + 4);
        if (level == "ERROR") {
            ++report.errors;
            report.error = text;
            report.warning = previousLevel == "WARNING" ? previousText : std::string();
        }
        previousLevel = level;
        previousText = text;
    }
    return report;
}

// Checks one case: a single ERROR row with the expected text, the expected WARNING row before it (none
// when warning is empty), and the file named by one of the two.
inline void ExpectReport(const FailureReport& report, const std::string& file, const std::string& warning,
                         const std::string& error) {
    EXPECT_EQ(report.errors, 1);
    EXPECT_EQ(report.error, error);
    EXPECT_EQ(report.warning, warning);
    EXPECT_NE((report.warning + report.error).find(file), std::string::npos) << "the file is not named";
}

} // namespace quorvel::test
