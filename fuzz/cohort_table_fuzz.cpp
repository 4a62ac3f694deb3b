// Fuzz target: the report's reader of cohort tables and the cohort page made
// from what it read.
//
// The bytes are the table (a header line is put first half of the time, so
// that the rows are reached); the first byte chooses a grouping column.
// Besides memory safety and defined behaviour: whatever the fields hold, the
// page has as many '<' as '>' (no field brings markup of its own), a table
// refused says why, and html_escaped() leaves none of < > " ' in its output.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "nongauss/report.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t choice = data[0];
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (choice & 1) text = "file\tscale_s\tlambda\tflagged_pct\twarnings\tgroup\n" + text;
    nongauss::report::ReportOptions options;
    options.cohort = true;
    options.input = "cohort.tsv";
    options.group_column = (choice & 2) ? "group" : "";
    std::string page;
    std::string error;
    if (nongauss::report::cohort_page_of_table(text, options, "fuzz-page.html", page, error)) {
        long balance = 0;
        for (const char c : page) balance += c == '<' ? 1 : c == '>' ? -1 : 0;
        if (balance != 0) std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    const std::string escaped = nongauss::report::html_escaped(text);
    if (escaped.find_first_of("<>\"'") != std::string::npos) std::abort();
    return 0;
}
