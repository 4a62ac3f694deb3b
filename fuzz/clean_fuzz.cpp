// Fuzz target: the cleaner (nongauss/clean.hpp) on arbitrary text: its
// reader, the filters (median or detector), deletion and replacement.
//
// The first byte chooses how the rest is read and cleaned (column, decimal
// comma, replacement, detector). Besides memory safety and no undefined
// behaviour: reading gives an outcome and, when cleaned, one flag per
// interval read, counts that add up, and a text of one line per interval
// whose numbers read back as exactly the doubles the call gives.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "nongauss/clean.hpp"
#include "nongauss/number_text.hpp"
#include "scratch.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using nongauss::fuzzing::require;
    namespace clean = nongauss::clean;
    if (size == 0) return 0;
    const unsigned choice = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    clean::CleanSettings settings;
    const char* columns[] = {"", "2", "RR", "1"};
    settings.read.column = columns[choice & 3];
    settings.read.decimal_comma = (choice & 4) != 0;
    settings.replace = (choice & 8) != 0;
    settings.filter.local = (choice & 16) != 0 ? clean::LocalFilter::detector : clean::LocalFilter::median;
    settings.filter.range = (choice & 32) == 0;
    settings.filter.window = (choice & 64) != 0 ? 3 : 41;

    clean::RRText rr;
    std::string message;
    const clean::ReadOutcome read = clean::read_rr_text(text, settings.read, rr, message);
    require(read == clean::ReadOutcome::ok || read == clean::ReadOutcome::bad_input, "reading text cannot fail to open");
    if (read != clean::ReadOutcome::ok) {
        require(!message.empty(), "a bad input says why");
        return 0;
    }
    const std::size_t n = rr.numbers.size();
    // Replacement fills a stretch with up to 10^7 intervals by design (a
    // flagged 10^15 among seconds): not what a fuzzer should spend its time on.
    for (const clean::RRNumber& number : rr.numbers)
        if (!(number.value > -1e6 && number.value < 1e6)) settings.replace = false;
    const clean::Cleaned c = clean::clean_rr(std::move(rr), settings);
    if (n == 0) {
        require(c.outcome == clean::CleanOutcome::no_data, "no number: no data");
        return 0;
    }
    require(c.read() == n && c.seconds.size() == n, "one flag per interval");
    std::size_t by_flag = 0;
    for (const std::size_t k : c.by_flag) by_flag += k;
    require(by_flag == n && c.flagged() <= n, "every interval counted once");
    if (c.outcome == clean::CleanOutcome::none_kept) {
        require(c.flagged() == n && c.text.empty(), "none kept");
        return 0;
    }
    require(c.outcome == clean::CleanOutcome::cleaned, "cleaned");
    require(c.counts.written() == c.intervals.size(), "written as counted");
    require(settings.replace || c.counts.kept + c.flagged() == n, "deletion keeps the rest");
    // The text reads back as the numbers given.
    std::size_t k = 0, line = 0;
    while (line < c.text.size()) {
        const std::size_t end = c.text.find('\n', line);
        require(end != std::string::npos, "lines end with LF");
        const std::string number = c.text.substr(line, end - line);
        require(k < c.intervals.size(), "no more lines than intervals");
        double value = 0.0;
        require(nongauss::decimal_prefix(number, value) == number.size() && value == c.intervals[k],
                "the text reads back as the numbers");
        ++k;
        line = end + 1;
    }
    require(k == c.intervals.size(), "a line per interval");
    return 0;
}
