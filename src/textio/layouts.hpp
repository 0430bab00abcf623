// Every layout the program reads or writes with, checked when compiled.
#pragma once

#include "textio/layout.hpp"

namespace velor::textio::layouts {

inline constexpr Layout kLine = parse_layout("(A80)");
inline constexpr Layout kPrompt = parse_layout("(1X,A$)");
inline constexpr Layout kReflectionLegacy = parse_layout("(3I4, 2F12.2, F10.2)");
inline constexpr Layout kReflectionCurrent = parse_layout("(3I4, 2F14.2, F13.2)");
inline constexpr Layout kAfterKeyword = parse_layout("(4X, A76)");
inline constexpr Layout kF000Value = parse_layout("(20X, A60)");
inline constexpr Layout kLetterAnswer = parse_layout("(A1)");
inline constexpr Layout kNumberAnswer = parse_layout("(F8.0)");
inline constexpr Layout kEchoText = parse_layout("(A23, A26)");
inline constexpr Layout kEchoNumber = parse_layout("(A23, F4.2)");
inline constexpr Layout kBoxText = parse_layout("(1X,A78)");
inline constexpr Layout kBoxEmpty = parse_layout("(A2,76X,A1)");
inline constexpr Layout kCorrected = parse_layout("(3I4, 2F8.2, F10.3)");
inline constexpr Layout kCoefficients4 = parse_layout("(A5, 4F10.4, A34)");
inline constexpr Layout kCoefficients3 = parse_layout("(A5, 3F10.4, A44)");
inline constexpr Layout kCoefficients2 = parse_layout("(A5, 2F10.4, A54)");
inline constexpr Layout kCoefficients1 = parse_layout("(A5, F10.4, A64)");
inline constexpr Layout kRange = parse_layout("(F8.3, A5, F8.3, A15)");
inline constexpr Layout kRatio = parse_layout("(F8.3, A28)");

}  // namespace velor::textio::layouts
