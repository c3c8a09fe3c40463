// Text pieces of the figure line writer that every line writer shares: numbers, integers, text columns that must
// survive the field tokenizer, and the whole field run of one record.
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "app/foundation/estring.h"
#include "app/foundation/field_tokenizer.h"

namespace kz::scene {

class COBJECTA;

// Room for c_integer_text.
constexpr int kIntegerTextSize = 16;

// A 32-bit integer in decimal into buffer (kIntegerTextSize bytes); returns buffer.
char* c_integer_text(std::int32_t value, char* buffer);
// A number as figure files carry it: plain decimal, 15 significant digits, no sign column, into buffer
// (kz::foundation::kNumberTextSize bytes). Magnitudes beyond 1e100 are written as 1e100 and those at or below
// 1e-100 as 0: the reader takes no more than 110 bytes of a number, and the plain text of anything larger
// does not fit, so it would read back as a different number on every save. Returns buffer.
char* figure_number_text(double value, char* buffer);
// The number figure_number_text writes for a value, as it reads back.
double written_value(double value);
// Whether any of the values is written as something other than "0": a list whose items all read back as zero is
// written as its first number alone, so that the list written is the list read back.
bool any_written(std::span<const double> values);
void append_number(kz::foundation::EString& out, double value);
// Appends a text column so that the tokenizer gives the same text back: wrapped in double quotes when one of
// `splitters` would otherwise end the field, with a closing quote added when its own quotes leave one open.
// A null text appends nothing.
void append_protected_text(kz::foundation::EString& out, const char* text,
                           const kz::foundation::FieldSeparators& splitters);
void append_protected_text(std::string& out, const char* text, const kz::foundation::FieldSeparators& splitters);
// append_protected_text with the line's own separators, TAB and comma.
void append_text_column(kz::foundation::EString& out, const char* text);
// Bytes of the first `length` bytes of text that fit in max_bytes without cutting a double-byte character.
int sjis_prefix_length(const char* text, int length, int max_bytes);

// The record's fields from the kind word to the shadow column, `separator` between fields, no line end.
// Nothing for a record of kind 0. The display mode is encoded and the paste text rewritten on the way.
// Returns the number of bytes appended.
int append_figure_fields(kz::foundation::EString& out, COBJECTA& record, char separator);
// The columns from the fix column to the shadow column, each after a separator; shape lines and trunk header
// rows end alike.
void append_figure_tail(kz::foundation::EString& out, const COBJECTA& record, char separator);

}  // namespace kz::scene
