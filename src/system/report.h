#pragma once
// A report as the command line prints it, kept apart from how it is
// written: TAB-separated text (the long-standing output), CSV, or one JSON
// document. Every cell carries the text TSV prints, so the three agree to
// the last digit.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace morvane {

struct ReportCell {
    enum class Kind {
        Number,  // the text is a JSON number
        Text,    // a JSON string
        Null,    // no number (-inf, nan): the text in TSV and CSV, null in JSON
    };
    Kind kind = Kind::Text;
    std::string text;

    static ReportCell Integer(std::int64_t v);
    // Fixed-point with `decimals` digits; an infinite or NaN value is Null
    // and reads "-inf", "inf" or "nan".
    static ReportCell Fixed(double v, int decimals);
    // Text already written as a decimal number.
    static ReportCell Number(std::string text) { return {Kind::Number, std::move(text)}; }
    static ReportCell Words(std::string text) { return {Kind::Text, std::move(text)}; }
};

// One named line: in text "name<TAB>cell...", in JSON "name": value when it
// has one unnamed cell, else "name": {field: cell, ...}.
struct ReportLine {
    std::string name;
    std::vector<ReportCell> cells;
    std::vector<std::string> fields;  // JSON's names of the cells; empty for one cell
    bool inText = true;               // false: JSON only, the text stays as it always was
};

// A table: in text the header (unless tsvHeader is false) and a line per
// row; in JSON "name": [{column: cell, ...}, ...].
struct ReportTable {
    std::string name;
    std::vector<std::string> columns;
    std::vector<std::vector<ReportCell>> rows;
    bool tsvHeader = true;  // CSV always writes the header
};

struct Report {
    std::vector<std::variant<ReportLine, ReportTable>> parts;
};

enum class ReportFormat { Tsv, Csv, Json };

// "tsv", "csv" or "json".
std::optional<ReportFormat> ParseReportFormat(const std::string& text);

std::string ReportText(const Report& report, ReportFormat format);

// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
// A JSON string literal.
std::string JsonString(const std::string& text);

}  // namespace morvane
