#include "report/cohort.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "nongauss/number_text.hpp"
#include "nongauss/tables.hpp"
#include "nongauss/version.hpp"
#include "report/figures.hpp"
#include "report/gnuplot.hpp"
#include "report/page.hpp"
#include "report/text.hpp"
#include "nongauss/tsv_field.hpp"

namespace nongauss::report {

namespace {

// A table field as written by escaped_field: \t \n \r \\ back to their bytes.
std::string unescaped(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size()) {
            const char c = field[++i];
            out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool number(const std::string& text, double& value) {
    return !text.empty() && decimal_prefix(text, value) == text.size() && std::isfinite(value);
}

}  // namespace

bool read_cohort(const std::string& text, const std::string& group_column, Cohort& cohort, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int file_col = -1, scale_col = -1, lambda_col = -1, flagged_col = -1, warnings_col = -1, group_col = -1;
    long line_number = 0;
    bool header = false;
    std::map<std::string, std::size_t> index;
    struct Row {
        std::size_t recording;
        double scale;
        std::string lambda;
    };
    std::vector<Row> rows;
    while (std::getline(in, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::vector<std::string> f = tab_fields(line);
        if (!header) {
            for (std::size_t k = 0; k < f.size(); ++k) {
                const int c = static_cast<int>(k);
                if (f[k] == "file") file_col = c;
                else if (f[k] == "scale" || f[k] == "scale_s") scale_col = c;
                else if (f[k] == "lambda") lambda_col = c;
                else if (f[k] == "flagged_pct") flagged_col = c;
                else if (f[k] == "warnings") warnings_col = c;
                if (!group_column.empty() && f[k] == group_column) group_col = c;
            }
            if (file_col != 0 || scale_col < 0 || lambda_col < 0) {
                error = "the first line is not the header of a cohort table (columns file, scale_s and lambda)";
                return false;
            }
            if (!group_column.empty() && group_col < 0) {
                error = "the table has no column '" + group_column + "'";
                return false;
            }
            header = true;
            continue;
        }
        const int need = std::max({scale_col, lambda_col, group_col});
        if (static_cast<int>(f.size()) <= need || f[0].empty()) {
            cohort.problems.push_back("line " + std::to_string(line_number) + ": too few fields");
            continue;
        }
        double scale = 0.0;
        if (!number(f[static_cast<std::size_t>(scale_col)], scale)) {
            cohort.problems.push_back("line " + std::to_string(line_number) + ": the scale is not a number");
            continue;
        }
        const std::string file = unescaped(f[0]);
        auto [at, added] = index.emplace(file, cohort.recordings.size());
        if (added) {
            CohortRecording rec;
            rec.file = file;
            if (group_col >= 0) rec.group = unescaped(f[static_cast<std::size_t>(group_col)]);
            cohort.recordings.push_back(rec);
            if (group_col >= 0 &&
                std::find(cohort.groups.begin(), cohort.groups.end(), rec.group) == cohort.groups.end())
                cohort.groups.push_back(rec.group);
        }
        CohortRecording& rec = cohort.recordings[at->second];
        if (flagged_col >= 0 && static_cast<std::size_t>(flagged_col) < f.size())
            rec.flagged_pct = f[static_cast<std::size_t>(flagged_col)];
        if (warnings_col >= 0 && static_cast<std::size_t>(warnings_col) < f.size() &&
            !f[static_cast<std::size_t>(warnings_col)].empty())
            rec.warnings = unescaped(f[static_cast<std::size_t>(warnings_col)]);
        rows.push_back({at->second, scale, f[static_cast<std::size_t>(lambda_col)]});
        if (std::find(cohort.scales.begin(), cohort.scales.end(), scale) == cohort.scales.end())
            cohort.scales.push_back(scale);
    }
    if (!header) {
        error = "the table is empty";
        return false;
    }
    std::sort(cohort.scales.begin(), cohort.scales.end());
    for (CohortRecording& rec : cohort.recordings) rec.lambda.assign(cohort.scales.size(), "");
    for (const Row& row : rows) {
        const auto k = static_cast<std::size_t>(
            std::lower_bound(cohort.scales.begin(), cohort.scales.end(), row.scale) - cohort.scales.begin());
        cohort.recordings[row.recording].lambda[k] = row.lambda;
    }
    return true;
}

namespace {

// The number after "\"key\": " in `line`, or "" when there is none.
std::string json_value(const std::string& line, const std::string& key) {
    const std::string tag = "\"" + key + "\": ";
    const std::size_t at = line.find(tag);
    if (at == std::string::npos) return "";
    const std::size_t start = at + tag.size();
    const std::size_t end = line.find_first_of(",}", start);
    const std::string text = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    double value = 0.0;
    return number(text, value) ? text : "";
}

}  // namespace

void take_report_json(const std::string& json, const std::vector<double>& scales, CohortRecording& rec) {
    rec.floor.assign(scales.size(), "");
    rec.p.assign(scales.size(), "");
    std::istringstream in(json);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("  \"flags\": {", 0) == 0) rec.json_flagged_pct = json_value(line, "beats_pct");
        if (line.rfind("    {\"scale_s\": ", 0) != 0) continue;
        double scale = 0.0;
        const std::string text = json_value(line, "scale_s");
        if (!number(text, scale)) continue;
        const auto k = std::find(scales.begin(), scales.end(), scale);
        if (k == scales.end()) continue;
        const auto i = static_cast<std::size_t>(k - scales.begin());
        rec.floor[i] = json_value(line, "lambda_floor");
        rec.p[i] = json_value(line, "p");
    }
}

namespace {

std::string h(std::string_view t) { return html_escaped(t); }

// The link from the page at `page_file` to the report of `file` (its base
// name + "_report.html"), or empty when that report does not exist.
std::string report_link(const std::string& file, const std::string& page_file) {
    namespace fs = std::filesystem;
    const fs::path report = derive_names(file).base_name + "_report.html";
    std::error_code ec;
    if (!fs::is_regular_file(report, ec)) return "";
    const fs::path from = fs::absolute(fs::path(page_file), ec).parent_path();
    const fs::path relative = fs::relative(fs::absolute(report, ec), from, ec);
    if (ec || relative.empty()) return "";
    return link_to(relative.generic_string());
}

std::vector<CohortLine> lines_of(const Cohort& cohort) {
    std::vector<CohortLine> lines;
    for (const CohortRecording& rec : cohort.recordings) {
        CohortLine line;
        const auto g = std::find(cohort.groups.begin(), cohort.groups.end(), rec.group);
        line.colour = g == cohort.groups.end() ? 0 : static_cast<int>(g - cohort.groups.begin());
        for (std::size_t k = 0; k < cohort.scales.size(); ++k) {
            double lambda = 0.0;
            if (number(rec.lambda[k], lambda)) line.points.emplace_back(cohort.scales[k], lambda);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

std::string cohort_page(const Cohort& cohort, const ReportOptions& options, const std::string& svg,
                        const std::string& page_file) {
    const std::vector<std::string>& colours = group_colours();
    std::string p = page_head("nongauss cohort report: " + options.input);
    p += "<h1>Cohort report of " + h(options.input) + "</h1>\n";
    p += "<p>" + std::to_string(cohort.recordings.size()) + " recordings, " + std::to_string(cohort.scales.size()) +
         " scales.</p>\n";
    p += "<section id=\"cohort-lambda\"><h2>λ against scale</h2>\n<figure id=\"cohort-figure\">" +
         (svg.empty() ? std::string("<p>(no figure: see the warnings)</p>") : svg) + "<figcaption>";
    if (cohort.groups.empty()) {
        p += "One line per recording.";
    } else {
        p += "One line per recording, coloured by " + h(options.group_column) + ":";
        for (std::size_t g = 0; g < cohort.groups.size(); ++g)
            p += " <span class=\"swatch\" style=\"background:" + colours[g % colours.size()] + "\"></span>" +
                 h(cohort.groups[g].empty() ? std::string("(empty)") : cohort.groups[g]);
        if (cohort.groups.size() > colours.size())
            p += " (more groups than colours: colours repeat after " + std::to_string(colours.size()) + ")";
    }
    p += "</figcaption></figure></section>\n";

    p += "<section id=\"recordings\"><h2>Recordings</h2>\n<div class=\"wide\"><table id=\"cohort\"><tr><th class=\"t\">recording</th>";
    if (!cohort.groups.empty()) p += "<th class=\"t\">" + h(options.group_column) + "</th>";
    for (const double s : cohort.scales) p += "<th>λ at " + data_number(s) + " s</th>";
    p += "<th>flagged (%)</th><th class=\"t\">warnings</th></tr>\n";
    for (const CohortRecording& rec : cohort.recordings) {
        const std::string link = report_link(rec.file, page_file);
        p += "<tr><td class=\"t\">" +
             (link.empty() ? h(rec.file) : "<a href=\"" + h(link) + "\">" + h(rec.file) + "</a>") + "</td>";
        if (!cohort.groups.empty()) p += "<td class=\"t\">" + h(rec.group) + "</td>";
        for (std::size_t k = 0; k < rec.lambda.size(); ++k) {
            p += "<td class=\"lambda\">" + h(rec.lambda[k]);
            if (k < rec.floor.size() && !rec.floor[k].empty())
                p += "<br><small>floor " + h(rec.floor[k]) + (rec.p[k].empty() ? "" : ", p " + h(rec.p[k])) +
                     "</small>";
            p += "</td>";
        }
        p += "<td>" + h(!rec.flagged_pct.empty() ? rec.flagged_pct : rec.json_flagged_pct) + "</td><td class=\"w\">" + h(rec.warnings) + "</td></tr>\n";
    }
    p += "</table></div>\n<p>A recording links to its report where BASE_report.html stands beside it "
         "(nongauss-report FILE); the surrogate floor and p at a scale, and the flagged share when the table "
         "has none, come from the report's JSON (BASE_report.json).</p></section>\n";
    p += "<section id=\"warnings\"><h2>Warnings</h2>\n";
    if (cohort.problems.empty()) {
        p += "<p class=\"none\">None.</p>\n";
    } else {
        p += "<ul class=\"warn\">\n";
        for (const std::string& w : cohort.problems) p += "<li>" + h(w) + " (row skipped)</li>\n";
        p += "</ul>\n";
    }
    p += "</section>\n<section id=\"provenance\"><h2>Provenance</h2><dl>\n<dt>Program</dt><dd>nongauss-report " +
         std::string(version) + "</dd>\n";
    std::string command = "nongauss-report";
    for (const std::string& a : options.arguments) command += " " + a;
    p += "<dt>Command</dt><dd><code>" + h(command) + "</code></dd>\n</dl></section>\n</body>\n</html>\n";
    return p;
}

bool cohort_page_of_table(const std::string& text, const ReportOptions& options, const std::string& page_file,
                          std::string& page, std::string& error) {
    Cohort cohort;
    if (!read_cohort(text, options.group_column, cohort, error)) return false;
    page = cohort_page(cohort, options, "", page_file);
    return true;
}

int write_cohort_report(const ReportOptions& options, std::string& message) {
    std::ifstream in(options.input, std::ios::binary);
    if (!in) {
        message += "nongauss-report: cannot read " + options.input + "\n";
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    Cohort cohort;
    std::string error;
    if (!read_cohort(text.str(), options.group_column, cohort, error)) {
        message += "nongauss-report: " + options.input + ": " + error + "\n";
        return 1;
    }
    for (const std::string& p : cohort.problems) message += "Warning: " + options.input + ", " + p + " (row skipped)\n";
    for (CohortRecording& rec : cohort.recordings) {
        std::ifstream json(derive_names(rec.file).base_name + "_report.json", std::ios::binary);
        if (!json) continue;
        std::ostringstream text;
        text << json.rdbuf();
        take_report_json(text.str(), cohort.scales, rec);
    }
    const Figure figure = run_gnuplot(cohort_script(lines_of(cohort), group_colours()), "c");
    if (!figure.error.empty()) message += "nongauss-report: no figure: " + figure.error + "\n";
    const std::string page_file = page_name(options);
    const std::string page = cohort_page(cohort, options, figure.svg, page_file);
    if (!write_files(page_file, page, "", {options.input}, message)) return 1;
    return figure.error.empty() ? 0 : 2;
}

}  // namespace nongauss::report
