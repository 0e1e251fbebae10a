#pragma once
// A report as the command line prints it, kept apart from how it is
// written: TAB-separated text (the long-standing output), CSV, or one JSON
// document. Every cell carries the text TSV prints, so the three agree to
// the last digit.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace morvane {

struct ReportCell {
    enum class Kind {
        Number,   // the text is a JSON number
        Text,     // a JSON string
        Null,     // no number (-inf, nan): the text in TSV and CSV, null in JSON
        Boolean,  // "true" or "false", the same in every format
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
    static ReportCell Flag(bool v) { return {Kind::Boolean, v ? "true" : "false"}; }
    // No figure: empty in TSV and CSV, null in JSON.
    static ReportCell Empty() { return {Kind::Null, ""}; }
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
    // In text, a blank line (after earlier output) and the name on a line of
    // its own come first, so that several tables read apart.
    bool titled = false;
};

struct Report {
    std::vector<std::variant<ReportLine, ReportTable>> parts;
};

enum class ReportFormat { Tsv, Csv, Json };

// "tsv", "csv" or "json".
std::optional<ReportFormat> ParseReportFormat(const std::string& text);

std::string ReportText(const Report& report, ReportFormat format);

// Writes a report part by part, handing the text to `out` a piece at a time,
// so that a table of millions of rows never stands whole in memory. The
// parts given in order make exactly ReportText's text.
class ReportWriter {
public:
    ReportWriter(std::ostream& out, ReportFormat format);
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    void Add(const ReportLine& line);
    void Add(const ReportTable& table);
    // A table whose rows follow one by one; `head`'s own rows come first.
    void BeginTable(const ReportTable& head);
    void Row(const std::vector<ReportCell>& cells);
    void EndTable();
    // Closes the document and hands over the rest; nothing may follow.
    void Finish();

private:
    void Field(const std::string& text, bool first);
    void Part();
    void Spill();

    std::ostream& out_;
    ReportFormat format_;
    std::string text_;
    bool anyPart_ = false;
    bool anyText_ = false;  // TSV and CSV: a line was written
    std::vector<std::string> tableColumns_;
    std::size_t tableRows_ = 0;
};

// One CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
// A JSON string literal.
std::string JsonString(const std::string& text);

}  // namespace morvane
