#pragma once
// A small RFC 4180 reader for tests: quoted fields with doubled quotes,
// commas and line breaks inside them; records end with LF or CRLF.
#include <string>
#include <vector>

namespace morvane::test {

inline std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
            continue;
        }
        any = true;
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.push_back(field);
            field.clear();
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (c == '\r') ++i;
            record.push_back(field);
            records.push_back(record);
            record.clear();
            field.clear();
            any = false;
        } else {
            field += c;
        }
    }
    if (any || !field.empty()) {
        record.push_back(field);
        records.push_back(record);
    }
    return records;
}

}  // namespace morvane::test
