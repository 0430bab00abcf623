#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "output/report.hpp"

namespace velor::output {
namespace {

std::vector<std::string> report_rows(int parameter_count, const model::Solution& solution,
                                     const model::Statistics& st) {
    std::ostringstream out;
    textio::ConsoleChannel channel(out);
    write_report(channel, parameter_count, solution, st, [] {});
    std::vector<std::string> rows;
    std::string text = out.str();
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = text.find("\r\n", pos);
        rows.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return rows;
}

TEST(Report, RowsAreSeventyNineColumns) {
    const auto rows = report_rows(24, {}, {});
    ASSERT_EQ(rows.size(), 29u);
    for (const auto& row : rows) EXPECT_EQ(row.size(), 79u) << row;
    EXPECT_EQ(rows[8], " |" + std::string(76, ' ') + "|");
}

TEST(Report, CoefficientRowsByFitType) {
    model::Solution sol;
    sol.x[0] = -1.4625;
    sol.x[6] = 0.6064;
    sol.x[12] = 1.0491;
    sol.x[18] = 1.6057;
    struct Case {
        int parameter_count;
        std::string expected;
    };
    const Case cases[] = {
        {24, " |      -1.4625    0.6064    1.0491    1.6057" + std::string(33, ' ') + "|"},
        {18, " |      -1.4625    0.6064    1.0491" + std::string(43, ' ') + "|"},
        {12, " |      -1.4625    0.6064" + std::string(53, ' ') + "|"},
        {6, " |      -1.4625" + std::string(63, ' ') + "|"},
    };
    for (const Case& c : cases) EXPECT_EQ(report_rows(c.parameter_count, sol, {})[11], c.expected);
    sol.x[1] = 123456.0;
    sol.x[2] = -12345.0;
    EXPECT_EQ(report_rows(6, sol, {})[12], " |   **********" + std::string(63, ' ') + "|");
    EXPECT_EQ(report_rows(6, sol, {})[13], " |   **********" + std::string(63, ' ') + "|");
}

TEST(Report, RangeRatioAndRValueRows) {
    model::Statistics st;
    st.s_min = 0.8532;
    st.s_max = 1.1274;
    st.n_before = 1.0;
    st.d_before = 20.0;
    st.n_after = 0.5;
    st.d_after = 20.0;
    const auto rows = report_rows(6, {}, st);
    EXPECT_EQ(rows[18], " |  Relative min/max transmission factors:    0.853 and    1.127" + std::string(14, ' ') + "|");
    EXPECT_EQ(rows[20], " |  Ratio of min/max transmission factors:    0.757" + std::string(27, ' ') + "|");
    EXPECT_EQ(rows[22], " |  R-values before and after correction:     0.050 and    0.025" + std::string(14, ' ') + "|");

    st.s_max = 12345.0;
    st.d_before = st.d_after = 0.0;
    st.n_before = st.n_after = 0.0;
    const auto odd = report_rows(6, {}, st);
    EXPECT_EQ(odd[18], " |  Relative min/max transmission factors:    0.853 and ********" + std::string(14, ' ') + "|");
    EXPECT_EQ(odd[22], " |  R-values before and after correction:       NaN and      NaN" + std::string(14, ' ') + "|");
}

TEST(Banner, TenLinesOpenedAndClosedByEmptyLines) {
    std::ostringstream out;
    textio::ConsoleChannel console(out);
    banner(console);
    const std::string text = out.str();
    EXPECT_EQ(text.substr(0, 2), "\r\n");
    EXPECT_EQ(text.substr(2, 81), " +" + std::string(76, '-') + "+\r\n");
    EXPECT_EQ(text.substr(text.size() - 83), " +" + std::string(76, '=') + "+\r\n\r\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10);
}

}  // namespace
}  // namespace velor::output
