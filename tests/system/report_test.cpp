// The three writers of a report: the text each gives, the CSV quoting and
// the JSON strings, numbers and nulls.
#include "system/report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "support/csv_read.h"

namespace morvane {
namespace {

// A report with every kind of part and of cell, awkward words included.
Report Sample() {
    ReportTable table{"rows", {"name", "value", "log"}, {}, true};
    table.rows.push_back({ReportCell::Words("plain"), ReportCell::Fixed(0.5, 3), ReportCell::Fixed(-1.25, 2)});
    table.rows.push_back(
        {ReportCell::Words("a, \"b\"\nc\t\x01"), ReportCell::Integer(-7), ReportCell::Fixed(-INFINITY, 9)});
    Report r;
    r.parts.push_back(ReportLine{"seed", {ReportCell::Integer(42)}, {}, true});
    r.parts.push_back(ReportLine{"hidden", {ReportCell::Integer(1)}, {}, false});
    r.parts.push_back(table);
    r.parts.push_back(ReportLine{"end", {ReportCell::Integer(3), ReportCell::Fixed(NAN, 1)}, {"at", "what"}, true});
    return r;
}

TEST(ReportWriters, TsvCsvAndJsonOfEveryKindOfCell) {
    EXPECT_EQ(ReportText(Sample(), ReportFormat::Tsv),
              "seed\t42\nname\tvalue\tlog\nplain\t0.500\t-1.25\na, \"b\"\nc\t\x01\t-7\t-inf\nend\t3\tnan\n");
    const std::string csv = ReportText(Sample(), ReportFormat::Csv);
    EXPECT_EQ(csv, "seed,42\nname,value,log\nplain,0.500,-1.25\n\"a, \"\"b\"\"\nc\t\x01\",-7,-inf\nend,3,nan\n");
    const auto records = test::ReadCsv(csv);
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[3], (std::vector<std::string>{"a, \"b\"\nc\t\x01", "-7", "-inf"}));
    EXPECT_EQ(ReportText(Sample(), ReportFormat::Json),
              "{\n"
              "  \"seed\": 42,\n"
              "  \"hidden\": 1,\n"
              "  \"rows\": [\n"
              "    {\"name\": \"plain\", \"value\": 0.500, \"log\": -1.25},\n"
              "    {\"name\": \"a, \\\"b\\\"\\nc\\t\\u0001\", \"value\": -7, \"log\": null}\n"
              "  ],\n"
              "  \"end\": {\"at\": 3, \"what\": null}\n"
              "}\n");
}

TEST(ReportWriters, HeaderlessTablesAndEmptyReports) {
    ReportTable t{"settings", {"setting", "posterior"}, {{ReportCell::Integer(1), ReportCell::Fixed(1, 6)}}, false};
    const Report r{{t}};
    EXPECT_EQ(ReportText(r, ReportFormat::Tsv), "1\t1.000000\n");
    EXPECT_EQ(ReportText(r, ReportFormat::Csv), "setting,posterior\n1,1.000000\n");
    EXPECT_EQ(ReportText(Report{{ReportTable{"none", {"a"}, {}, true}}}, ReportFormat::Json), "{\n  \"none\": []\n}\n");
    EXPECT_EQ(ReportText(Report{}, ReportFormat::Json), "{}\n");
    // A flag reads the same everywhere; an empty cell is null in JSON only.
    const Report flags{{ReportLine{"advice",
                                   {ReportCell::Flag(true), ReportCell::Empty(), ReportCell::Flag(false)},
                                   {"look", "none", "off"},
                                   true}}};
    EXPECT_EQ(ReportText(flags, ReportFormat::Tsv), "advice\ttrue\t\tfalse\n");
    EXPECT_EQ(ReportText(flags, ReportFormat::Csv), "advice,true,,false\n");
    EXPECT_EQ(ReportText(flags, ReportFormat::Json),
              "{\n  \"advice\": {\"look\": true, \"none\": null, \"off\": false}\n}\n");
    // A minus that rounds away is dropped, as everywhere else.
    EXPECT_EQ(ReportCell::Fixed(-0.0000001, 6).text, "0.000000");
}

// Titled tables read apart in text: a blank line only between parts, never
// first; JSON does not change. Rows handed over one by one make the same text.
TEST(ReportWriters, TitledTablesAndRowsOneByOne) {
    const ReportTable first{"first", {"x"}, {{ReportCell::Integer(1)}, {ReportCell::Integer(2)}}, true, true};
    const ReportTable second{"second", {"y"}, {{ReportCell::Words("a,b")}}, false, true};
    const Report r{{first, second}};
    EXPECT_EQ(ReportText(r, ReportFormat::Tsv), "first\nx\n1\n2\n\nsecond\na,b\n");
    EXPECT_EQ(ReportText(r, ReportFormat::Csv), "first\nx\n1\n2\n\nsecond\ny\n\"a,b\"\n");
    EXPECT_EQ(
        ReportText(r, ReportFormat::Json),
        "{\n  \"first\": [\n    {\"x\": 1},\n    {\"x\": 2}\n  ],\n  \"second\": [\n    {\"y\": \"a,b\"}\n  ]\n}\n");

    for (const ReportFormat format : {ReportFormat::Tsv, ReportFormat::Csv, ReportFormat::Json}) {
        std::ostringstream out;
        ReportWriter w(out, format);
        w.Add(ReportLine{"seed", {ReportCell::Integer(42)}, {}, true});
        ReportTable head = std::get<ReportTable>(Sample().parts[2]);
        const auto last = head.rows.back();
        head.rows.pop_back();
        w.BeginTable(head);
        w.Row(last);
        w.EndTable();
        w.Add(std::get<ReportLine>(Sample().parts[3]));
        w.Finish();
        Report same = Sample();
        same.parts.erase(same.parts.begin() + 1);  // the JSON-only line
        EXPECT_EQ(out.str(), ReportText(same, format));
    }
}

TEST(ReportWriters, FormatNames) {
    EXPECT_EQ(ParseReportFormat("tsv"), ReportFormat::Tsv);
    EXPECT_EQ(ParseReportFormat("csv"), ReportFormat::Csv);
    EXPECT_EQ(ParseReportFormat("json"), ReportFormat::Json);
    for (const char* bad : {"", "JSON", "xml", "json "}) EXPECT_EQ(ParseReportFormat(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace morvane
