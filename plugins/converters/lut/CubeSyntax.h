#pragma once

#include <string_view>

// The pieces of a ".cube" line. Numbers are read without the C locale's help: the program runs
// under the user's locale, where strtof may want a decimal comma.
namespace cube {

// How a line reads as a table row. Numbers are finite floats: "nan", "inf" and values beyond a
// float's range are none.
enum class RowKind {
    NotARow,   // text that does not start like a number: titles, keywords, blank lines
    Loose,     // three numbers followed by something else: a fourth number, "0.5x"
    Malformed, // starts like a number but does not hold three, or a row of "nan" or "inf"
    Row,       // three numbers separated by blanks or tabs, then only blanks, tabs or a CR
};

// Reads the row into out[3] whenever three numbers start the line (Loose or Row).
RowKind classifyRow(std::string_view line, float out[3]);

// Blank (only blanks, tabs, a CR) or a comment: what may follow the last table.
bool isBlankOrComment(std::string_view line);

// "KEYWORD %d" from the start of the line, as scanf reads it (trailing text ignored).
bool parseKeywordInt(std::string_view line, std::string_view keyword, int* out);
// "KEYWORD %f %f ..." (count numbers) from the start of the line.
bool parseKeywordFloats(std::string_view line, std::string_view keyword, float* out, int count);

} // namespace cube
