#include "system/report.h"

#include <cmath>
#include <ostream>
#include <sstream>

#include "system/decimal_text.h"

namespace morvane {
namespace {

std::string JsonValue(const ReportCell& c) {
    switch (c.kind) {
    case ReportCell::Kind::Number:
    case ReportCell::Kind::Boolean: return c.text;
    case ReportCell::Kind::Null: return "null";
    case ReportCell::Kind::Text: break;
    }
    return JsonString(c.text);
}

std::string JsonObject(const std::vector<std::string>& names, const std::vector<ReportCell>& cells) {
    std::string out = "{";
    for (std::size_t i = 0; i < cells.size() && i < names.size(); ++i) {
        if (i > 0) out += ", ";
        out += JsonString(names[i]) + ": " + JsonValue(cells[i]);
    }
    return out + "}";
}

}  // namespace

ReportCell ReportCell::Integer(std::int64_t v) { return {Kind::Number, std::to_string(v)}; }

ReportCell ReportCell::Fixed(double v, int decimals) {
    if (std::isnan(v)) return {Kind::Null, "nan"};
    if (std::isinf(v)) return {Kind::Null, v < 0 ? "-inf" : "inf"};
    return {Kind::Number, FixedDecimal(v, decimals)};
}

std::optional<ReportFormat> ParseReportFormat(const std::string& text) {
    if (text == "tsv") return ReportFormat::Tsv;
    if (text == "csv") return ReportFormat::Csv;
    if (text == "json") return ReportFormat::Json;
    return std::nullopt;
}

std::string ReportText(const Report& report, ReportFormat format) {
    std::ostringstream out;
    ReportWriter writer(out, format);
    for (const auto& part : report.parts) std::visit([&writer](const auto& p) { writer.Add(p); }, part);
    writer.Finish();
    return std::move(out).str();
}

ReportWriter::ReportWriter(std::ostream& out, ReportFormat format)
    : out_(out), format_(format), text_(format == ReportFormat::Json ? 1 : 0, '{') {}

void ReportWriter::Field(const std::string& text, bool first) {
    if (!first) text_ += format_ == ReportFormat::Csv ? ',' : '\t';
    text_ += format_ == ReportFormat::Csv ? CsvField(text) : text;
}

// JSON: the separator before a part's "name": ...
void ReportWriter::Part() {
    text_ += anyPart_ ? ",\n  " : "\n  ";
    anyPart_ = true;
}

void ReportWriter::Spill() {
    if (text_.size() < (1 << 20)) return;
    out_ << text_;
    text_.clear();
}

void ReportWriter::Add(const ReportLine& line) {
    if (format_ == ReportFormat::Json) {
        Part();
        text_ += JsonString(line.name) + ": ";
        text_ += line.fields.empty() && line.cells.size() == 1 ? JsonValue(line.cells[0])
                                                               : JsonObject(line.fields, line.cells);
        return;
    }
    if (!line.inText) return;
    Field(line.name, true);
    for (const ReportCell& c : line.cells) Field(c.text, false);
    text_ += '\n';
    anyText_ = true;
}

void ReportWriter::Add(const ReportTable& table) {
    BeginTable(table);
    EndTable();
}

void ReportWriter::BeginTable(const ReportTable& head) {
    tableColumns_ = head.columns;
    tableRows_ = 0;
    if (format_ == ReportFormat::Json) {
        Part();
        text_ += JsonString(head.name) + ": [";
    } else {
        if (head.titled) {
            if (anyText_) text_ += '\n';
            Field(head.name, true);
            text_ += '\n';
            anyText_ = true;
        }
        if (head.tsvHeader || format_ == ReportFormat::Csv) {
            for (std::size_t i = 0; i < head.columns.size(); ++i) Field(head.columns[i], i == 0);
            text_ += '\n';
            anyText_ = true;
        }
    }
    for (const auto& row : head.rows) Row(row);
}

void ReportWriter::Row(const std::vector<ReportCell>& cells) {
    if (format_ == ReportFormat::Json) {
        text_ += tableRows_ == 0 ? "\n    " : ",\n    ";
        text_ += JsonObject(tableColumns_, cells);
    } else {
        for (std::size_t i = 0; i < cells.size(); ++i) Field(cells[i].text, i == 0);
        text_ += '\n';
        anyText_ = true;
    }
    ++tableRows_;
    Spill();
}

void ReportWriter::EndTable() {
    if (format_ == ReportFormat::Json) text_ += tableRows_ == 0 ? "]" : "\n  ]";
}

void ReportWriter::Finish() {
    if (format_ == ReportFormat::Json) text_ += anyPart_ ? "\n}\n" : "}\n";
    out_ << text_;
    text_.clear();
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    return out + '"';
}

}  // namespace morvane
