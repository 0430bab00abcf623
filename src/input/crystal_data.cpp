// λ, the unit cell and OSF from the refined instruction file NAME.res, and
// F(000) from the CIF header of the LIST 4 reflection file NAME.fcf.
//
// Both files are read as 80-column records; the wanted lines are found by a
// keyword at fixed columns, and their numbers are taken by free-format
// reading of the columns after the keyword, held as one in-memory text.
#include "input/crystal_data.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "input/reflection_reader.hpp"
#include "platform/failure.hpp"
#include "textio/errors.hpp"
#include "textio/files.hpp"
#include "textio/free_format.hpp"
#include "textio/layouts.hpp"
#include "textio/text_field.hpp"

namespace velor::input {
namespace {

using textio::InputFile;
using textio::layouts::kAfterKeyword;
using textio::layouts::kF000Value;

constexpr std::string_view kTitl = "TITL";
constexpr std::string_view kFvar = "FVAR";
constexpr std::string_view kCell = "CELL";
constexpr std::string_view kF000 = "_exptl_crystal_F_000";
constexpr std::string_view kListCode = "_shelx_refln_list_code";

// The mean-square displacement, Å², that the intensity ceiling of the
// screening assumes for every crystal: the files give none.
constexpr float kFixedU = 0.005f;

// The only reflection list this program can correct: h, k, l, Fc², Fo²,
// σ(Fo²), as SHELXL writes it for LIST 4.
constexpr float kWantedListCode = 4.0f;

// The cell as the header of the reflection file gives it, in the order of
// the CELL instruction.
constexpr std::array<std::string_view, 6> kCellItems{"_cell_length_a",   "_cell_length_b",  "_cell_length_c",
                                                     "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
constexpr std::array<std::string_view, 6> kCellNames{"a", "b", "c", "alpha", "beta", "gamma"};

// The next record of the file as an 80-column text (a short line padded
// with blanks, a long one cut after column 80), while looking for a
// keyword: the end of the file is a fatal error that names it.
std::string next_record(InputFile& file, std::string_view looking_for) {
    std::string_view line;
    if (!file.next_line(line))
        throw textio::RecordError(file.location() + ", looking for " + std::string(looking_for), "End of file");
    return textio::make_field(line);
}

// Reads the records from the current position up to the first one that
// begins with the keyword.
std::string find_record(InputFile& file, std::string_view keyword) {
    for (;;) {
        std::string record = next_record(file, keyword);
        if (textio::has_keyword(record, keyword)) return record;
    }
}

// Free-format reading of the items from one in-memory text.  A slash or a
// null value before the last item would leave an item without a defined
// value; such a line is refused as a bad number.
void read_values(std::string_view text, std::span<float* const> items, const std::string& location) {
    textio::read_free_format(text, items, location, {}, textio::FreeFormatOptions{.require_every_value = true});
}

// Columns 5 to 80 of a record, read with (4X, A76) into an 80-column text.
std::string after_keyword(const std::string& record) {
    std::string taken(textio::kFieldWidth, ' ');
    (void)textio::read_in_memory(record, kAfterKeyword, {taken});  // A fields cannot fail
    return taken;
}

// The cell line is the first record after the first TITL record that has
// CELL in columns 1-4.  SHELXL puts the file name, a "created by" line and
// often REM lines between the two; they are passed over.  Columns 5-80 hold
// λ, a, b, c, α, β, γ.
void read_cell(InputFile& file, core::CrystalData& crystal) {
    find_record(file, kTitl);
    const std::string record = find_record(file, kCell);
    const std::array<float*, 7> items{&crystal.lambda, &crystal.a,    &crystal.b,    &crystal.c,
                                      &crystal.alpha_deg, &crystal.beta_deg, &crystal.gamma_deg};
    read_values(after_keyword(record), items, file.location());
}

// The overall scale factor is the first value of the first FVAR record of
// the file (the free variables after it are not needed).
void read_osf(InputFile& file, core::CrystalData& crystal) {
    const std::string record = find_record(file, kFvar);
    const std::array<float*, 1> items{&crystal.osf};
    read_values(after_keyword(record), items, file.location());
}

// A cell value of the reflection file's header as printed: the number and
// the unit of its last decimal.
struct PrintedValue {
    double value = 0.0;
    double last_unit = 1.0;
    std::string text;
};

// What the header of NAME.fcf says about itself.
struct FcfHeader {
    std::optional<std::string> f000_record;  // the first _exptl_crystal_F_000 record
    std::string f000_location;
    std::optional<std::string> refused_code;  // the first list code other than 4, as written
    std::array<std::optional<PrintedValue>, 6> cell;
};

// The first blank-separated word after the data name.
std::string_view value_word(const std::string& record, std::size_t name_length) {
    const std::string_view rest = std::string_view(record).substr(name_length);
    const std::size_t first = rest.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::size_t end = rest.find_first_of(" \t", first);
    return rest.substr(first, end == std::string_view::npos ? end : end - first);
}

// The code of a _shelx_refln_list_code record, read free-format; any code
// other than 4 is kept as written, for the message.
void note_list_code(const InputFile& file, const std::string& record, FcfHeader& header) {
    float code = 0.0f;
    const std::array<float*, 1> items{&code};
    read_values(std::string_view(record).substr(kListCode.size()), items, file.location());
    if (code != kWantedListCode && !header.refused_code) {
        const std::string_view word = value_word(record, kListCode.size());
        header.refused_code = std::string(word.substr(0, word.find_first_of(",;/")));
    }
}

// A cell item: its number (a standard uncertainty in parentheses after it
// is passed over) and the unit of its last decimal.  An item whose value
// does not read as a number is left out of the comparison.
std::optional<PrintedValue> printed_value(std::string_view word) {
    word = word.substr(0, word.find('('));
    PrintedValue v;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), v.value);
    if (error != std::errc{} || end != word.data() + word.size() || !std::isfinite(v.value)) return std::nullopt;
    const std::size_t point = word.find('.');
    if (point != std::string_view::npos) v.last_unit = std::pow(10.0, -static_cast<double>(word.size() - point - 1));
    v.text = std::string(word);
    return v;
}

void note_cell_item(const std::string& record, FcfHeader& header) {
    for (std::size_t i = 0; i < kCellItems.size(); ++i) {
        const std::size_t length = kCellItems[i].size();
        if (textio::has_keyword(record, kCellItems[i]) && (record[length] == ' ' || record[length] == '\t')) {
            if (!header.cell[i]) header.cell[i] = printed_value(value_word(record, length));
            return;
        }
    }
}

// Passes over the header of NAME.fcf to its first reflection record (or to
// the end of the file), noting the F(000) record, every reflection list
// code and the cell.  If F(000) has not turned up by then, the search for
// it goes on to the end of the file, which is then a fatal end of file.
FcfHeader read_fcf_header(InputFile& file) {
    FcfHeader header;
    bool in_header = true;
    std::string_view line;
    while (file.next_line(line)) {
        const std::string record = textio::make_field(line);
        if (!header.f000_record && textio::has_keyword(record, kF000)) {
            header.f000_record = record;
            header.f000_location = file.location();
        }
        if (in_header) {
            if (is_reflection_record(record)) in_header = false;
            else if (textio::has_keyword(record, kListCode)) note_list_code(file, record, header);
            else if (textio::has_keyword(record, "_cell_")) note_cell_item(record, header);
        }
        if (header.f000_record && !in_header) break;
    }
    return header;
}

// Other list codes put other quantities (amplitudes, phases, merged data)
// in the reflection columns; read as h, k, l, Fc², Fo², σ(Fo²) they would
// give a meaningless fit, so the run stops before anything is asked.
void require_list_4(const std::string& fcf_name, const FcfHeader& header) {
    if (!header.refused_code) return;
    const std::string_view stem = std::string_view(fcf_name).substr(0, fcf_name.size() - 4);
    stop("file '", fcf_name, "' has reflection list code ", *header.refused_code,
         " (_shelx_refln_list_code); a LIST 4 file (h, k, l, Fc2, Fo2, sigma(Fo2)) is needed: set LIST 4 in '", stem,
         ".ins' and refine the structure again");
}

// The reflection file of another refinement would give a fit of nonsense
// with a plausible R-value.  SHELXL prints the cell of the refinement in the
// header; a value that differs from the CELL of NAME.res by more than one
// unit in its last printed decimal (with room for the single-precision
// rounding of the CELL value) tells that the two files do not belong
// together.  The same cell printed with fewer decimals passes.
// One unit of the last printed decimal, held in binary, may come out a
// little over itself: a difference of exactly one unit must pass.
constexpr double kLastUnitSlack = 1e-6;
// The CELL value read into single precision is off its decimal text by up
// to half a unit in the last place, 2⁻²⁴ of it (6·10⁻⁸); room for three.
constexpr double kSingleRounding = 2e-7;

void require_same_cell(const std::string& res_name, const std::string& fcf_name, const core::CrystalData& crystal,
                       const FcfHeader& header) {
    const std::array<float, 6> res_cell{crystal.a, crystal.b, crystal.c, crystal.alpha_deg, crystal.beta_deg,
                                        crystal.gamma_deg};
    std::string differences;
    for (std::size_t i = 0; i < res_cell.size(); ++i) {
        // A length or angle that no cell can have is reported as such when
        // the reciprocal cell is formed.
        const float limit = i < 3 ? std::numeric_limits<float>::max() : 180.0f;
        if (!header.cell[i] || !(res_cell[i] > 0.0f && res_cell[i] < limit)) continue;
        const double res_value = res_cell[i];
        const PrintedValue& printed = *header.cell[i];
        const double tolerance = printed.last_unit * (1.0 + kLastUnitSlack) + std::fabs(res_value) * kSingleRounding;
        if (std::fabs(res_value - printed.value) <= tolerance) continue;
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, res_cell[i]).ptr;
        differences += (differences.empty() ? "" : ", ") + std::string(kCellNames[i]) + " " +
                       std::string(buffer, end) + " against " + printed.text;
    }
    if (differences.empty()) return;
    stop("files '", res_name, "' and '", fcf_name, "' are not of the same refinement: the cell differs (",
         differences, ")");
}

// F(000) from columns 21-80 of its record.
void read_f000(InputFile& file, const FcfHeader& header, core::CrystalData& crystal) {
    if (!header.f000_record)
        throw textio::RecordError(file.location() + ", looking for " + std::string(kF000), "End of file");
    std::string taken(textio::kFieldWidth, ' ');
    (void)textio::read_in_memory(*header.f000_record, kF000Value, {taken});
    const std::array<float*, 1> items{&crystal.f000};
    read_values(taken, items, header.f000_location);
}

}  // namespace

core::CrystalData read_crystal_data(const std::string& res_name, const std::string& fcf_name,
                              textio::OutputChannel& console) {
    core::CrystalData crystal;

    // NAME.res is read twice from its first record: an FVAR record that
    // stands before TITL still counts.
    read_cell(*textio::open_or_stop(res_name, console), crystal);
    read_osf(*textio::open_or_stop(res_name, console), crystal);

    // λ is exact in single precision, so its square is exact in double.
    crystal.lambda_sq = static_cast<double>(crystal.lambda) * static_cast<double>(crystal.lambda);

    {
        const auto fcf = textio::open_or_stop(fcf_name, console);
        const FcfHeader header = read_fcf_header(*fcf);
        require_list_4(fcf_name, header);
        require_same_cell(res_name, fcf_name, crystal, header);
        read_f000(*fcf, header, crystal);
    }

    crystal.u = kFixedU;
    return crystal;
}

}  // namespace velor::input
