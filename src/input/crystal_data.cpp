// λ, the unit cell and OSF from the refined instruction file NAME.res, and
// F(000) from the CIF header of the LIST 4 reflection file NAME.fcf.
//
// Both files are read as 80-column records; the wanted lines are found by a
// keyword at fixed columns, and their numbers are taken by free-format
// reading of the columns after the keyword, held as one in-memory text.
#include "input/crystal_data.hpp"

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "input/reflection_reader.hpp"
#include "textio/characters.hpp"
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
using textio::layouts::kLine;

constexpr std::string_view kTitl = "TITL";
constexpr std::string_view kFvar = "FVAR";
constexpr std::string_view kCell = "CELL";
constexpr std::string_view kF000 = "_exptl_crystal_F_000";
constexpr std::string_view kListCode = "_shelx_refln_list_code";

// The only reflection list this program can correct: h, k, l, Fc², Fo²,
// σ(Fo²), as SHELXL writes it for LIST 4.
constexpr float kWantedListCode = 4.0f;

// The next record of the file as an 80-column text: a short line padded
// with blanks, a long one cut after column 80.  End of file is fatal.
std::string next_record(InputFile& file) {
    std::string record(textio::kFieldWidth, ' ');
    file.read(kLine, {record});
    return record;
}

bool starts_with(const std::string& record, std::string_view keyword) {
    return std::string_view(record).substr(0, keyword.size()) == keyword;
}

// CELL in columns 1-4 in any letter case (some editors and older programs
// write instruction names in lower case; SHELXL itself reads them so).
bool is_cell_record(const std::string& record) {
    for (std::size_t i = 0; i < kCell.size(); ++i)
        if (textio::to_upper(record[i]) != kCell[i]) return false;
    return true;
}

// Reads the records from the current position up to the first one that
// begins with the keyword (columns 1 to its length, case as written).
std::string find_record(InputFile& file, std::string_view keyword) {
    for (;;) {
        std::string record = next_record(file);
        if (starts_with(record, keyword)) return record;
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
void read_cell(InputFile& file, CrystalData& crystal) {
    find_record(file, kTitl);
    std::string record;
    do {
        record = next_record(file);
    } while (!is_cell_record(record));
    const std::array<float*, 7> items{&crystal.lambda, &crystal.a,    &crystal.b,    &crystal.c,
                                      &crystal.alpha,  &crystal.beta, &crystal.gamma};
    read_values(after_keyword(record), items, file.location());
}

// The overall scale factor is the first value of the first FVAR record of
// the file (the free variables after it are not needed).
void read_osf(InputFile& file, CrystalData& crystal) {
    const std::string record = find_record(file, kFvar);
    const std::array<float*, 1> items{&crystal.osf};
    read_values(after_keyword(record), items, file.location());
}

// What the header of NAME.fcf says about itself.
struct FcfHeader {
    std::optional<std::string> f000_record;  // the first _exptl_crystal_F_000 record
    std::string f000_location;
    std::optional<float> list_code;          // from _shelx_refln_list_code
    std::string list_code_text;              // the code as written, for the message
};

// The code of a _shelx_refln_list_code record, read free-format from its
// columns 23-80.
void note_list_code(const InputFile& file, const std::string& record, FcfHeader& header) {
    float code = 0.0f;
    const std::array<float*, 1> items{&code};
    const std::string_view value = std::string_view(record).substr(kListCode.size());
    read_values(value, items, file.location());
    header.list_code = code;
    // The read above found a value, so the text holds a first token.
    const std::size_t first = value.find_first_not_of(" \t");
    const std::size_t end = value.find_first_of(" \t,;/", first);
    header.list_code_text = std::string(value.substr(first, end == std::string_view::npos ? end : end - first));
}

// Passes over the header of NAME.fcf to its first reflection record (or to
// the end of the file), noting the F(000) record and the reflection list
// code.  If F(000) has not turned up by then, the search for it goes on to
// the end of the file, which is then a fatal end of file.
FcfHeader read_fcf_header(InputFile& file) {
    FcfHeader header;
    bool in_header = true;
    std::string_view line;
    while (file.next_line(line)) {
        const std::string record = textio::make_field(line);
        if (!header.f000_record && starts_with(record, kF000)) {
            header.f000_record = record;
            header.f000_location = file.location();
        }
        if (in_header) {
            if (is_reflection_record(record)) in_header = false;
            else if (!header.list_code && starts_with(record, kListCode)) note_list_code(file, record, header);
        }
        if (header.f000_record && !in_header) break;
    }
    return header;
}

// Other list codes put other quantities (amplitudes, phases, merged data)
// in the reflection columns; read as h, k, l, Fc², Fo², σ(Fo²) they would
// give a meaningless fit, so the run stops before anything is asked.
void require_list_4(const std::string& fcf_name, const FcfHeader& header) {
    if (!header.list_code || *header.list_code == kWantedListCode) return;
    throw textio::RunStop(textio::kExitStopped,
                          "file '" + std::string(textio::trim_right(fcf_name)) + "' has reflection list code " +
                              header.list_code_text +
                              " (_shelx_refln_list_code); a LIST 4 file (h, k, l, Fc2, Fo2, sigma(Fo2)) is needed");
}

// F(000) from columns 21-80 of its record.
void read_f000(InputFile& file, const FcfHeader& header, CrystalData& crystal) {
    if (!header.f000_record) file.fail("End of file");
    std::string taken(textio::kFieldWidth, ' ');
    (void)textio::read_in_memory(*header.f000_record, kF000Value, {taken});
    const std::array<float*, 1> items{&crystal.f000};
    read_values(taken, items, header.f000_location);
}

}  // namespace

CrystalData read_crystal_data(const std::string& res_name, const std::string& fcf_name,
                              textio::OutputChannel& console) {
    CrystalData crystal;

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
        read_f000(*fcf, header, crystal);
    }

    crystal.u = 0.005f;
    return crystal;
}

}  // namespace velor::input
