// The run parameters: the fit type (how many powers of sin²θ multiply each
// of the six tensor components), the sin θ cut-offs, OMIT and the fixed
// screening constants, by command-line letter, by default or by dialogue.
#include <array>
#include <cmath>
#include <string_view>

#include "core/single_precision.hpp"
#include "input/run_parameters.hpp"
#include "textio/characters.hpp"
#include "textio/layouts.hpp"

namespace velor::input {
namespace {

using textio::layouts::kEchoNumber;
using textio::layouts::kEchoText;
using textio::layouts::kLetterAnswer;
using textio::layouts::kNumberAnswer;
using textio::layouts::kPrompt;

struct FitType {
    char letter;
    std::int32_t parameter_count;  // six tensor components per term
    std::int32_t terms;
    std::int32_t top_power;        // terms - 1
    std::string_view description;  // 26 characters, for the echo
};

constexpr std::array<FitType, 4> kFitTypes{{
    {'C', 24, 4, 3, "cubic (24 parameters)     "},
    {'Q', 18, 3, 2, "quadratic (18 parameters) "},
    {'L', 12, 2, 1, "linear (12 parameters)    "},
    {'F', 6, 1, 0, "flat (6 parameters)       "},
}};

constexpr std::string_view kNotAcceptable = "  Not acceptable, again please: ";

// The fit type of a letter in either case; nullptr for any other character.
const FitType* fit_type_of(char letter) {
    for (const FitType& type : kFitTypes)
        if (type.letter == textio::to_upper(letter)) return &type;
    return nullptr;
}

// Short wavelengths (Mo, Ag) need only the linear model; for Cu radiation
// absorption is strong enough to call for the cubic.
const FitType& default_fit_type(float lambda) { return *fit_type_of(lambda <= 1.0f ? 'L' : 'C'); }

void set_fit_type(const FitType& type, core::RunParameters& p) {
    p.fit_letter = type.letter;
    p.fit_description = type.description;
    p.parameter_count = type.parameter_count;
    p.terms = type.terms;
    p.top_power = type.top_power;
}

// The three screening constants; the extinction limit b is the sin θ
// below which a strong reflection is suspected of extinction.
void set_screening_constants(float lambda, core::RunParameters& p) {
    p.extinction_ratio = 0.5f;
    p.extinction_limit = core::single::extinction_limit(lambda);
    p.ceiling_fraction = 0.25f;
}

void set_default_cutoffs(core::RunParameters& p) {
    p.sin_theta_min = 0.0f;
    p.sin_theta_max = 1.0f;
    p.omit = 3.0f;
}

// One character typed as an answer: the first of the line, blank if empty.
char letter_answer(textio::InputChannel& keyboard) {
    std::string answer(1, ' ');
    keyboard.read(kLetterAnswer, {answer});
    return answer[0];
}

// A numeric answer from the first eight columns of the line.  An answer
// that does not read as a number gets the message and the default; so do
// Inf and NaN (letters, not digits) and a number too large for a float.
float number_answer(textio::InputChannel& keyboard, textio::OutputChannel& console, float fallback,
                    std::string_view nonsense_message) {
    float value = 0.0f;
    if (!keyboard.try_read(kNumberAnswer, {value}) || !std::isfinite(value)) {
        value = fallback;
        console.write_free({nonsense_message});
    }
    return value;
}

void dialogue(float lambda, core::RunParameters& p, textio::OutputChannel& console, textio::InputChannel& keyboard) {
    console.write(kPrompt, {"     Enter cubic(C), quadratic(Q) or "});
    console.write(kPrompt, {"linear(L) or flat(F) "});
    const FitType* type = nullptr;
    while ((type = fit_type_of(letter_answer(keyboard))) == nullptr) console.write(kPrompt, {kNotAcceptable});
    set_fit_type(*type, p);

    // Low-angle cut-off: 0 ≤ sin θ min < 1.
    console.write(kPrompt, {"     Enter sin(theta) min. cutoff [0.0]: "});
    for (;;) {
        p.sin_theta_min = number_answer(keyboard, console, 0.0f, "  Nonsense input, using 0.0 for sin(theta)min. ");
        if (p.sin_theta_min >= 0.0f && p.sin_theta_min < 1.0f) break;
        console.write(kPrompt, {kNotAcceptable});
    }

    // High-angle cut-off: min < sin θ max ≤ 1; an empty answer (0) means 1.
    console.write(kPrompt, {"     Enter sin(theta) max. cutoff [1.0]: "});
    for (;;) {
        p.sin_theta_max = number_answer(keyboard, console, 1.0f, "  Nonsense input, using 1.0 for sin(theta)max. ");
        if (p.sin_theta_max == 0.0f) p.sin_theta_max = 1.0f;
        if (p.sin_theta_min < p.sin_theta_max && p.sin_theta_max <= 1.0f) break;
        console.write(kPrompt, {kNotAcceptable});
    }

    // OMIT: reflections with Fo² < OMIT·σ(Fo²) stay out of the fit; an
    // empty answer (0) means 3, a negative one is refused.
    console.write(kPrompt, {"     Enter OMIT, (reject if Fo2 <"});
    console.write(kPrompt, {"OMIT(sigmaFo2) [3.0]: "});
    for (;;) {
        p.omit = number_answer(keyboard, console, 3.0f, "  Nonsense input, using 3.0 for OMIT. ");
        if (p.omit == 0.0f) p.omit = 3.0f;
        if (!(p.omit < 0.0f)) break;
        console.write(kPrompt, {kNotAcceptable});
    }

    set_screening_constants(lambda, p);
    console.write_free({" "});
    console.write_free({"  End of input"});
    console.write_free({" "});
}

void echo(const core::RunParameters& p, textio::OutputChannel& console) {
    console.write_free({"  Running with the following parameters: "});
    console.write_free();
    console.write(kEchoText, {"      Type of fit    = ", p.fit_description});
    console.write(kEchoNumber, {"      Sin(theta)min. = ", p.sin_theta_min});
    console.write(kEchoNumber, {"      Sin(theta)max. = ", p.sin_theta_max});
    console.write(kEchoNumber, {"      OMIT parameter = ", p.omit});
    console.write_free();
}

}  // namespace

core::RunParameters settle_fit_options(float lambda, const core::FitRequest& request,
                                       textio::OutputChannel& console, textio::InputChannel& keyboard) {
    core::RunParameters p;
    // Anything that is not a fit-type letter is taken as no choice, like N.
    const FitType* chosen = fit_type_of(request.letter);
    if (chosen != nullptr || request.names_values()) {
        set_default_cutoffs(p);
        if (request.sin_theta_min) p.sin_theta_min = *request.sin_theta_min;
        if (request.sin_theta_max) p.sin_theta_max = *request.sin_theta_max;
        if (request.omit) p.omit = *request.omit;
        set_screening_constants(lambda, p);
        set_fit_type(chosen != nullptr ? *chosen : default_fit_type(lambda), p);
    } else {
        console.write(kPrompt, {"  Do you want to control the input"});
        console.write(kPrompt, {"parameters ? [N]: "});
        const char answer = letter_answer(keyboard);
        console.write_free();
        if (answer == 'Y' || answer == 'y') {
            dialogue(lambda, p, console, keyboard);
        } else {
            set_default_cutoffs(p);
            set_screening_constants(lambda, p);
            set_fit_type(default_fit_type(lambda), p);
        }
    }
    echo(p, console);
    return p;
}

}  // namespace velor::input
