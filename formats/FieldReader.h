#pragma once
// The comma-separated files as the C runtime's text mode reads them: CR LF reads as LF, fields
// are separated by commas and lines ended by a line feed, no quoting. A field is complete at its
// comma; a line's last field at the line feed, so a final line without one is used only up to
// its last comma and is not a complete line.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kestrelan {

struct FieldEvent
{
    std::size_t line = 0;  // from 0
    std::size_t field = 0; // from 0
    std::string_view text; // without its comma or line end
    bool lastOfLine = false;
};

/// Calls `onField` for every complete field of the file's bytes in order; it returns false to
/// stop reading. The texts view into `bytes`.
void readFields(std::string_view bytes, const std::function<bool(const FieldEvent&)>& onField);

/// The complete fields of one line.
struct FieldLine
{
    std::size_t number = 0; // from 0
    std::vector<std::string_view> fields;
    bool complete = false; // its line feed was read
};

/// Calls `onLine` for every line that has a complete field, in order, the cut last line
/// included; it returns false to stop reading. The texts view into `bytes`.
void readLines(std::string_view bytes, const std::function<bool(const FieldLine&)>& onLine);

/// How much of its line a row was read from: a row of a cut last line holds only its first
/// `fields` columns, and a short line leaves its later columns empty or 0. A line is parsed when
/// it is one its writer could have written: ended by its line feed, with its columns and no more,
/// and a whole number in every column that holds one.
struct LineExtent
{
    std::size_t fields = 0;
    bool complete = true;
    bool parsed = true;
};

/// The field conversions of the readers: atof (0 for no number) and atoi (saturating).
double fieldNumber(std::string_view text);
std::int32_t fieldInteger(std::string_view text);

/// A field as the writers write a number: not empty, and all of it what strtod reads.
bool isNumberText(std::string_view text);
/// A field as "%d" writes it: an optional minus sign and decimal digits.
bool isIntegerText(std::string_view text);

/// The texts of a read line by column, empty past its last complete field.
template <class Column>
struct ColumnTexts
{
    const std::vector<std::string_view>& fields;
    std::string_view text(Column c) const
    {
        const auto i = static_cast<std::size_t>(c);
        return i < fields.size() ? fields[i] : std::string_view();
    }
    double number(Column c) const { return fieldNumber(text(c)); }
    std::int32_t integer(Column c) const { return fieldInteger(text(c)); }
    /// Whether each of the columns reads whole as a number, or as an integer.
    bool areNumbers(std::initializer_list<Column> columns) const
    {
        for (Column c : columns)
            if (!isNumberText(text(c)))
                return false;
        return true;
    }
    bool areIntegers(std::initializer_list<Column> columns) const
    {
        for (Column c : columns)
            if (!isIntegerText(text(c)))
                return false;
        return true;
    }
};

/// A double cut toward zero to a whole number, saturating at the 32-bit range (0 for NaN).
std::int32_t truncatedInteger(double value);

} // namespace kestrelan
