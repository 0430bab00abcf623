#include "output/report.hpp"

#include <array>

#include "textio/layouts.hpp"
#include "textio/text_field.hpp"

namespace velor::output {
namespace {

namespace L = textio::layouts;

constexpr std::string_view kTopBorder =
    "+----------------------------------------------------------------------------+";
constexpr std::string_view kSeparator =
    "+============================================================================+";
constexpr std::string_view kTitle =
    "|               VELOR - A four-dimensional scale factor program              |";
constexpr std::string_view kSubtitle =
    "|        (approximate treatment of anisotropic absorption/extinction)        |";
constexpr std::string_view kReference =
    "|   Fo^2 divided by a scale model fitted to Fc^2 of the refined structure    |";
constexpr std::string_view kCoefficientHeading =
    "|  The coefficients of the VELOR tensor are:                                 |";
constexpr std::string_view kDataFileLine =
    "|  A corrected data file *x.hkl has been written.                            |";
constexpr std::string_view kInstructionFileLine =
    "|  A new instructions file *x.ins has been written.                          |";

static_assert(kTopBorder.size() == 78 && kSeparator.size() == 78 && kTitle.size() == 78 &&
              kSubtitle.size() == 78 && kReference.size() == 78 && kCoefficientHeading.size() == 78 &&
              kDataFileLine.size() == 78 && kInstructionFileLine.size() == 78);

void text_line(textio::OutputChannel& out, std::string_view text) { out.write(L::kBoxText, {text}); }
void empty_line(textio::OutputChannel& out) { out.write(L::kBoxEmpty, {"|", "|"}); }

// Banner lines 2 to 9, which are also report rows 1 to 8.
void box_head(textio::OutputChannel& out) {
    text_line(out, kTopBorder);
    empty_line(out);
    text_line(out, kTitle);
    text_line(out, kSubtitle);
    empty_line(out);
    text_line(out, kReference);
    empty_line(out);
    text_line(out, kSeparator);
}

// One row per tensor component: its coefficients, highest power of sin²θ
// first, and the closing bar right-justified to column 79.
void coefficient_rows(textio::OutputChannel& out, const model::ScaleModel& scale, const core::FitResult& fit) {
    const auto terms = static_cast<std::size_t>(scale.terms());
    constexpr std::array<const textio::Layout*, 4> kLayouts{&L::kCoefficients1, &L::kCoefficients2,
                                                            &L::kCoefficients3, &L::kCoefficients4};
    const textio::Layout& layout = *kLayouts[terms - 1];
    for (std::size_t j = 0; j < model::ScaleModel::kComponents; ++j) {
        std::array<textio::Value, 6> values{" |   ", 0.0, 0.0, 0.0, 0.0, "|"};
        for (std::size_t i = 0; i < terms; ++i) values[1 + i] = fit.x[j + model::ScaleModel::kComponents * i];
        values[1 + terms] = "|";
        out.write(layout, std::span<const textio::Value>(values.data(), terms + 2));
    }
}

// The records of a text, each without its CR LF.
std::vector<std::string> records_of(std::string_view text) {
    std::vector<std::string> records;
    for (std::size_t end; (end = text.find("\r\n")) != std::string_view::npos; text.remove_prefix(end + 2))
        records.emplace_back(text.substr(0, end));
    return records;
}

}  // namespace

void banner(textio::OutputChannel& console) {
    console.write_free();
    box_head(console);
    console.write_free();
}

Report format_report(const model::ScaleModel& scale, const core::FitResult& fit, const model::Statistics& st) {
    textio::TextChannel out;
    box_head(out);                          // rows 1-8
    empty_line(out);                        // 9
    text_line(out, kCoefficientHeading);    // 10
    empty_line(out);                        // 11
    coefficient_rows(out, scale, fit);      // 12-17
    empty_line(out);                        // 18
    out.write(L::kPrompt, {"|  Relative min/max transmission factors: "});
    out.write(L::kRange, {st.s_min, " and ", st.s_max, "           |"});  // 19
    empty_line(out);                                                      // 20
    out.write(L::kPrompt, {"|  Ratio of min/max transmission factors: "});
    out.write(L::kRatio, {st.s_min / st.s_max, "                  |"});  // 21
    empty_line(out);                                                     // 22
    out.write(L::kPrompt, {"|  R-values before and after correction:  "});
    out.write(L::kRange, {st.n_before / st.d_before, " and ", st.n_after / st.d_after, "      |"});  // 23
    empty_line(out);                        // 24
    text_line(out, kDataFileLine);          // 25
    empty_line(out);                        // 26
    text_line(out, kInstructionFileLine);   // 27
    empty_line(out);                        // 28
    text_line(out, kSeparator);             // 29
    return {records_of(out.text())};
}

void wrtabs(const Report& report, textio::OutputFile& file) {
    for (const std::string& row : report.rows) {
        file.write_formatted(row);
        file.write_formatted("\r\n");
    }
    file.close();
}

void echabs(const Report& report, textio::OutputChannel& console) {
    // Columns 3 to 77 of each row, as an 80-column record gives them.
    for (std::size_t n = 9; n <= 28; ++n) {
        const std::string row = textio::make_field(report.rows[n - 1]);
        console.write_free({std::string_view(row).substr(2, 75)});
    }
}

}  // namespace velor::output
