#include "system/report.h"

#include <cmath>

#include "system/decimal_text.h"

namespace morvane {
namespace {

class TextWriter {
public:
    explicit TextWriter(char separator) : separator_(separator) {}

    std::string Write(const Report& report) {
        for (const auto& part : report.parts) {
            if (const auto* line = std::get_if<ReportLine>(&part)) {
                if (!line->inText) continue;
                Field(line->name, true);
                for (const ReportCell& c : line->cells) Field(c.text, false);
                out_ += '\n';
                continue;
            }
            const auto& table = std::get<ReportTable>(part);
            if (table.tsvHeader || separator_ == ',') {
                for (std::size_t i = 0; i < table.columns.size(); ++i) Field(table.columns[i], i == 0);
                out_ += '\n';
            }
            for (const auto& row : table.rows) {
                for (std::size_t i = 0; i < row.size(); ++i) Field(row[i].text, i == 0);
                out_ += '\n';
            }
        }
        return out_;
    }

private:
    void Field(const std::string& text, bool first) {
        if (!first) out_ += separator_;
        out_ += separator_ == ',' ? CsvField(text) : text;
    }

    char separator_;
    std::string out_;
};

std::string JsonValue(const ReportCell& c) {
    switch (c.kind) {
    case ReportCell::Kind::Number: return c.text;
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

std::string JsonText(const Report& report) {
    std::string out = "{";
    bool first = true;
    for (const auto& part : report.parts) {
        out += first ? "\n  " : ",\n  ";
        first = false;
        if (const auto* line = std::get_if<ReportLine>(&part)) {
            out += JsonString(line->name) + ": ";
            out += line->fields.empty() && line->cells.size() == 1 ? JsonValue(line->cells[0])
                                                                   : JsonObject(line->fields, line->cells);
            continue;
        }
        const auto& table = std::get<ReportTable>(part);
        out += JsonString(table.name) + ": [";
        for (std::size_t r = 0; r < table.rows.size(); ++r)
            out += (r == 0 ? "\n    " : ",\n    ") + JsonObject(table.columns, table.rows[r]);
        out += table.rows.empty() ? "]" : "\n  ]";
    }
    return out + (first ? "}\n" : "\n}\n");
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
    switch (format) {
    case ReportFormat::Tsv: return TextWriter('\t').Write(report);
    case ReportFormat::Csv: return TextWriter(',').Write(report);
    case ReportFormat::Json: break;
    }
    return JsonText(report);
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
