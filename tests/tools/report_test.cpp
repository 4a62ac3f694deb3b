// nongauss-report end to end: its numbers against nongauss-scan's, the JSON
// that reproduces them, the cohort page, and hostile names and fields.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "nongauss/tsv_field.hpp"
#include "report/cohort.hpp"
#include "report/text.hpp"
#include "support/run_tool.hpp"
#include "tools/companions.hpp"

namespace nongauss {
namespace {

namespace fs = std::filesystem;
using nongauss::testing::lines_of;
using nongauss::testing::run_tool;
using nongauss::testing::RunResult;
using nongauss::testing::ScratchDir;
using nongauss::testing::slurp;

RunResult report(const std::vector<std::string>& args, const fs::path& dir) {
    return run_tool(args, dir, NONGAUSS_REPORT_EXE);
}

// The page's table of scales: per row, column class -> the cell's text.
std::vector<std::map<std::string, std::string>> page_rows(const std::string& page) {
    std::vector<std::map<std::string, std::string>> rows;
    const std::size_t table = page.find("<table id=\"scales\">");
    const std::string body = page.substr(table, page.find("</table>", table) - table);
    const std::regex row("<tr><td class=\"scale_s\">[^\n]*</tr>");
    const std::regex cell("<td class=\"([a-z_]+)\">([^<]*)</td>");
    for (auto r = std::sregex_iterator(body.begin(), body.end(), row); r != std::sregex_iterator(); ++r) {
        std::map<std::string, std::string> cells;
        const std::string text = r->str();
        for (auto c = std::sregex_iterator(text.begin(), text.end(), cell); c != std::sregex_iterator(); ++c)
            cells[(*c)[1]] = (*c)[2];
        rows.push_back(cells);
    }
    return rows;
}

// The JSON's "scales" lines, which hold the numbers of each scale.
std::string json_scales(const std::string& json) {
    const std::size_t from = json.find("\"scales\": [\n");
    return from == std::string::npos ? "" : json.substr(from, json.find("  ]", from) - from);
}

// Every number of the page is what nongauss-scan prints for the same
// settings, to the digit; the JSON's command, run again on a copy elsewhere,
// gives the same numbers.
TEST(Report, NumbersAreScansAndTheJsonReproducesThem) {
    NONGAUSS_REQUIRE_PROGRAM("gnuplot", "gnuplot-nox");
    ScratchDir dir;
    nongauss::testing::synthesize(dir, "rec.txt", {"--hours", "2", "--seed", "5", "--lambda", "0.4"});
    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
             {"-s", "5,37.5"}, {"-S", "10:300:3", "-d", "2", "-q", "0", "-1", "-t", "0.5"}}) {
        std::vector<std::string> args = options;
        args.push_back("rec.txt");
        const RunResult scanned = run_tool(args, dir.path(), NONGAUSS_SCAN_EXE);
        ASSERT_EQ(scanned.status, 0) << scanned.err;
        const RunResult made = report(args, dir.path());
        ASSERT_EQ(made.status, 0) << made.err;
        const std::string page = dir.read("rec_report.html");
        const auto rows = page_rows(page);
        const auto lines = lines_of(scanned.out);
        ASSERT_EQ(rows.size() + 1, lines.size()) << page;
        const std::vector<std::string> header = tab_fields(lines[0]);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const std::vector<std::string> fields = tab_fields(lines[k + 1]);
            for (std::size_t c = 1; c < header.size(); ++c) {
                if (rows[k].count(header[c]) != 0) {
                    EXPECT_EQ(rows[k].at(header[c]), fields[c]) << header[c] << " row " << k;
                }
            }
            EXPECT_EQ(rows[k].size(), 6u);
            EXPECT_NE(page.find("<dd id=\"n_beats\">" + fields[7] + "</dd>"), std::string::npos);
        }
        const std::string json = dir.read("rec_report.json");
        for (const auto& row : rows) EXPECT_NE(json.find("\"lambda\": " + row.at("lambda") + ","), std::string::npos);

        // The command the JSON holds, run on a copy in another directory.
        ScratchDir other;
        fs::copy_file(dir.path() / "rec.txt", other.path() / "rec.txt");
        std::vector<std::string> again;
        const std::regex word("\"((?:[^\"\\\\]|\\\\.)*)\"");
        const std::size_t from = json.find("\"command\": [");
        const std::string command = json.substr(from, json.find(']', from) - from);
        for (auto w = std::sregex_iterator(command.begin(), command.end(), word); w != std::sregex_iterator(); ++w)
            again.push_back((*w)[1]);
        ASSERT_GE(again.size(), 3u);
        EXPECT_EQ(again[1], "nongauss-report");
        again.erase(again.begin(), again.begin() + 2);  // "command", "nongauss-report"
        ASSERT_EQ(report(again, other.path()).status, 0);
        EXPECT_EQ(json_scales(other.read("rec_report.json")), json_scales(json));
        const RunResult sum = nongauss::testing::run_shell("sha256sum rec.txt", dir.path());
        EXPECT_NE(json.find("\"sha256\": \"" + sum.out.substr(0, 64) + "\""), std::string::npos) << sum.out;
    }
}

// Surrogates: the floor, the range and p per scale, the same for the same
// seed and different for another; the page and JSON agree.
TEST(Report, SurrogatesGiveTheFloorAndPBySeed) {
    NONGAUSS_REQUIRE_PROGRAM("gnuplot", "gnuplot-nox");
    ScratchDir dir;
    nongauss::testing::synthesize(dir, "rec.txt", {"--hours", "1", "--seed", "8", "--lambda", "0.5"});
    std::string floors[3];
    const char* seeds[] = {"4", "4", "5"};
    for (int k = 0; k < 3; ++k) {
        const RunResult r = report({"--surrogates", "9", "--bootstrap", "20", "--seed", seeds[k], "-s", "10,50", "-o",
                                    "out.html", "rec.txt"},
                                   dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string json = dir.read("out.json");
        floors[k] = json_scales(json);
        EXPECT_NE(floors[k].find("\"lambda_floor\": 0."), std::string::npos) << json;
        EXPECT_NE(floors[k].find("\"lambda_se\": 0."), std::string::npos) << json;
        EXPECT_NE(json.find("\"seed\": " + std::string(seeds[k])), std::string::npos);
        const std::string page = dir.read("out.html");
        EXPECT_NE(page.find("<td class=\"p\">"), std::string::npos);
        EXPECT_NE(page.find("<td class=\"lambda_se\">0."), std::string::npos);
        EXPECT_NE(page.find("9 IAAFT surrogates (seed " + std::string(seeds[k]) + ")"), std::string::npos);
    }
    EXPECT_EQ(floors[0], floors[1]);
    EXPECT_NE(floors[0], floors[2]);
}

// The flags: counts by kind, the shares and the longest stretch, for a
// series with a gap and an ectopic pair put in by hand.
TEST(Report, FlagsAreCountedByKind) {
    NONGAUSS_REQUIRE_PROGRAM("gnuplot", "gnuplot-nox");
    ScratchDir dir;
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        double rr = 800 + 40 * ((i * 7919) % 13) / 13.0;
        if (i == 1000) rr = 500;   // premature
        if (i == 1001) rr = 1100;  // its pause
        if (i == 2000) rr = 9000;  // a gap
        text += std::to_string(rr) + "\n";
    }
    dir.write("rec.txt", text);
    const RunResult r = report({"-s", "10", "rec.txt"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string json = dir.read("rec_report.json");
    EXPECT_NE(json.find("\"ectopic\": 2,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"long-interval\": 1,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"flagged\": 3,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"longest_s\": 9,"), std::string::npos) << json;
    const std::string page = dir.read("rec_report.html");
    EXPECT_NE(page.find("<dd id=\"flagged\">3 intervals, 0.10 % of the beats"), std::string::npos);
    // Cleaned by the cleaner's filters (the range filter, then the
    // detector): its flags, and the numbers of nongauss-scan on the file
    // nongauss-clean writes.
    ASSERT_EQ(report({"-s", "10", "--clean", "rec.txt"}, dir.path()).status, 0);
    const std::string cleaned = dir.read("rec_report.json");
    EXPECT_NE(cleaned.find("\"out-of-range\": 1, \"deviation\": 0, \"ectopic\": 2,"), std::string::npos) << cleaned;
    ASSERT_EQ(run_tool({"rec.txt", "-o", "clean.txt"}, dir.path(), NONGAUSS_CLEAN_EXE).status, 0);
    const auto scanned = lines_of(run_tool({"-s", "10", "clean.txt"}, dir.path(), NONGAUSS_SCAN_EXE).out);
    ASSERT_EQ(scanned.size(), 2u);
    EXPECT_NE(cleaned.find("\"lambda\": " + tab_fields(scanned[1])[4] + ","), std::string::npos) << scanned[1];
    EXPECT_NE(dir.read("rec_report.html").find("<dd id=\"n_beats\">2997</dd>"), std::string::npos);

    const RunResult off = report({"-s", "10", "--no-detect", "rec.txt"}, dir.path());
    ASSERT_EQ(off.status, 0);
    EXPECT_NE(dir.read("rec_report.json").find("\"flagged\": 0,"), std::string::npos);
}

// Names, labels and table fields: escaped in the page, and never in what
// gnuplot reads (the figures are drawn all the same, and gnuplot writes no
// file of its own).
TEST(Report, HostileNamesAndFieldsAreEscapedAndNeverReachGnuplot) {
    NONGAUSS_REQUIRE_PROGRAM("gnuplot", "gnuplot-nox");
    ScratchDir dir;
    const std::string hostile = "a\"'<svg onload=x()>`; set output 'pwn'; system('touch pwn2') \\.txt";
    nongauss::testing::synthesize(dir, "plain.txt", {"--hours", "1", "--seed", "2"});
    fs::copy_file(dir.path() / "plain.txt", dir.path() / hostile);
    const RunResult r = report({"-s", "10,50", "--", hostile}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page_file = "a\"'<svg onload=x()>`; set output 'pwn'; system('touch pwn2') \\_report.html";
    ASSERT_TRUE(dir.exists(page_file));
    const std::string page = dir.read(page_file);
    EXPECT_EQ(page.find("<svg onload"), std::string::npos);
    EXPECT_NE(page.find("a&quot;&#39;&lt;svg onload=x()&gt;`"), std::string::npos);
    EXPECT_EQ(std::count(page.begin(), page.end(), '<') - std::count(page.begin(), page.end(), '>'), 0);
    EXPECT_NE(page.find("<svg \n"), std::string::npos);

    // A cohort table whose names, groups and warnings are markup, with links
    // to the reports that exist.
    std::string table = "file\tscale_s\tsd_ms\tlambda\tn_beats\tduration_h\tunit\twarnings\tgroup\n";
    for (const char* scale : {"10", "50"}) {
        table += escaped_field(hostile) + "\t" + scale + "\t1\t0.3\t1\t1\ts\t<img src=x onerror=alert(1)>\t</td><b>g'</b>\n";
        table += "other.txt\t" + std::string(scale) + "\t1\t0.4\t1\t1\ts\t\tplain\n";
    }
    table += "bad.txt\tnot-a-number\t1\t0.4\t1\t1\ts\t\tplain\n";
    dir.write("cohort.tsv", table);
    const RunResult c = report({"--cohort", "--group", "group", "cohort.tsv"}, dir.path());
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.err.find("Warning: cohort.tsv, line 6: the scale is not a number"), std::string::npos) << c.err;
    const std::string cohort = dir.read("cohort_report.html");
    EXPECT_EQ(cohort.find("<img"), std::string::npos);
    EXPECT_EQ(cohort.find("<b>"), std::string::npos);
    EXPECT_NE(cohort.find("&lt;/td&gt;&lt;b&gt;g&#39;&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(cohort.find("href=\"a%22%27%3Csvg%20onload%3Dx%28%29%3E%60%3B%20set%20output"), std::string::npos)
        << cohort;
    EXPECT_NE(cohort.find("<svg"), std::string::npos);
    // A table with no number to draw still gets its (empty) figure.
    dir.write("empty.tsv", "file\tscale_s\tlambda\n\xff<\t1e999\tx\n");
    EXPECT_EQ(report({"--cohort", "empty.tsv"}, dir.path()).status, 0);
    EXPECT_NE(dir.read("empty_report.html").find("<svg"), std::string::npos);
    EXPECT_FALSE(dir.exists("pwn"));
    EXPECT_FALSE(dir.exists("pwn2"));

    // Numbers no series holds, which the cleaner flags and the tachogram
    // leaves out.
    std::string odd = slurp(dir.path() / "plain.txt");
    odd.insert(odd.find('\n') + 1, "-5\n0\n1e308\n1e308\n");
    dir.write("odd.txt", odd);
    const RunResult cleaned = report({"--clean", "-s", "10", "odd.txt"}, dir.path());
    EXPECT_EQ(cleaned.status, 0) << cleaned.err;
    EXPECT_NE(dir.read("odd_report.json").find("\"out-of-range\": 4,"), std::string::npos);

    // The page is never written over the input, even through another name.
    const RunResult over = report({"-o", "plain.txt", "plain.txt"}, dir.path());
    EXPECT_EQ(over.status, 1);
    EXPECT_EQ(dir.read("plain.txt"), slurp(dir.path() / hostile));
}

TEST(Report, TextHelpers) {
    using report::html_escaped;
    using report::json_string;
    using report::link_to;
    EXPECT_EQ(html_escaped("a<b>&\"'\x01\xff\n é"), "a&lt;b&gt;&amp;&quot;&#39;\xef\xbf\xbd\xef\xbf\xbd\n é");
    EXPECT_EQ(link_to("javascript:alert(1)"), "./javascript%3Aalert%281%29");
    EXPECT_EQ(link_to("dir/rec 1_report.html"), "dir/rec%201_report.html");
    EXPECT_EQ(json_string("a\"\\\n\x01\xc3"), "\"a\\\"\\\\\\n\\u0001\xef\xbf\xbd\"");
    report::Cohort cohort;
    std::string error;
    EXPECT_FALSE(report::read_cohort("x\ty\n", "", cohort, error));
    EXPECT_FALSE(report::read_cohort("file\tscale_s\tlambda\n", "group", cohort, error));
    ASSERT_TRUE(report::read_cohort("file\tscale_s\tlambda\na\\tb\t50\t0.5\na\\tb\t10\t0.25\nc\t10\t\n", "", cohort, error));
    ASSERT_EQ(cohort.recordings.size(), 2u);
    EXPECT_EQ(cohort.recordings[0].file, "a\tb");
    EXPECT_EQ(cohort.scales, (std::vector<double>{10, 50}));
    EXPECT_EQ(cohort.recordings[0].lambda, (std::vector<std::string>{"0.25", "0.5"}));
    EXPECT_EQ(cohort.recordings[1].lambda, (std::vector<std::string>{"", ""}));
    // The floor and p of a report's JSON, numbers only.
    report::take_report_json("  \"flags\": {\"kept\": 9, \"beats_pct\": 1.5, \"time_pct\": 2},\n"
                             "    {\"scale_s\": 50, \"lambda\": 0.5, \"lambda_floor\": 0.25, \"p\": 0.01},\n"
                             "    {\"scale_s\": 10, \"lambda_floor\": <b>, \"p\": 1e-2}\n",
                             cohort.scales, cohort.recordings[0]);
    EXPECT_EQ(cohort.recordings[0].floor, (std::vector<std::string>{"", "0.25"}));
    EXPECT_EQ(cohort.recordings[0].p, (std::vector<std::string>{"1e-2", "0.01"}));
    EXPECT_EQ(cohort.recordings[0].json_flagged_pct, "1.5");
}

}  // namespace
}  // namespace nongauss
