#include "scan/scan_options.hpp"

#include "nongauss/number_text.hpp"

namespace nongauss::scan {

namespace {

// A whole word that is a decimal number.
bool whole_number(const std::string& text, double& value) {
    return !text.empty() && decimal_prefix(text, value) == text.size();
}

}  // namespace

bool parse_scan_options(const std::vector<std::string>& args, ScanOptions& options, std::string& error) {
    std::size_t i = 0;
    const auto value_of = [&](const std::string& word, std::string& value) {
        if (i + 1 >= args.size()) {
            error = "option " + word + " needs a value";
            return false;
        }
        value = args[++i];
        return true;
    };
    bool only_files = false;
    for (; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (only_files || word.empty() || word[0] != '-' || word == "-") {
            options.files.push_back(word);
            continue;
        }
        std::string value;
        const OptionTaken taken = take_scan_option(word, [&](std::string& v) { return value_of(word, v); },
                                                   scan_letters, options, error);
        if (taken == OptionTaken::error) return false;
        if (taken == OptionTaken::yes) continue;
        if (word == "--") {
            only_files = true;
        } else if (word == "--help" || word == "-h") {
            options.help = true;
        } else if (word == "--version") {
            options.version = true;
        } else if (word == "--wfdb") {
            options.wfdb = true;
        } else if (word == "--all-beats") {
            options.all_beats = true;
        } else if (word == "--pdf") {
            if (!value_of(word, value)) return false;
            if (value.empty()) {
                error = "--pdf needs a directory";
                return false;
            }
            options.pdf_dir = value;
        } else if (word == "-j" || word == "--jobs") {
            if (!value_of(word, value)) return false;
            double jobs = 0.0;
            if (!whole_number(value, jobs) || jobs < 1 || jobs > 1024 || jobs != static_cast<int>(jobs)) {
                error = "-j needs a whole number from 1 to 1024, not '" + value + "'";
                return false;
            }
            options.jobs = static_cast<int>(jobs);
        } else if (word == "--clean") {
            options.clean = true;
        } else {
            error = "unknown option " + word;
            return false;
        }
    }
    if (options.help || options.version) return true;
    if (options.all_beats && !options.wfdb) {
        error = "--all-beats needs --wfdb";
        return false;
    }
    if (options.scales.empty()) {
        error = "no scales: give them with -s LIST or -S FROM:TO:N";
        return false;
    }
    if (options.files.empty()) {
        error = "no input files";
        return false;
    }
    return true;
}

std::string usage_text(const std::string& program) {
    return "usage: " + program + " [OPTIONS] (-s LIST | -S FROM:TO:N) FILE...\n"
           "Lambda and SD of every FILE at every scale, as one TSV table on standard output.\n"
           "\n" +
           scan_option_help(scan_letters) +
           "  --clean          flag artefacts as nongauss-clean does (its range and deviation\n"
           "                   filters, defaults), fill them and leave out every window touching\n"
           "                   one: windows_used, windows_left_out; with --wfdb the intervals\n"
           "                   the selection leaves out are filled and left out too\n"
           "Input:\n"
           "  --wfdb           every FILE is a beat annotation file RECORD.ANNOTATOR with its\n"
           "                   header RECORD.hea beside it: its normal-to-normal intervals are\n"
           "                   analysed (in seconds)\n"
           "  --all-beats      with --wfdb: every beat-to-beat interval\n"
           "Output:\n"
           "  --pdf DIR        write each file's density at each scale to DIR/NAME_SCALEs_PDF.txt\n"
           "  -j N             files analysed at once (default: the number of processors)\n"
           "  -h, --help       this text\n"
           "  --version        the version\n"
           "Columns: file, scale_s, scale_pt, sd_ms, lambda, lambda_sq, n_increments, n_beats,\n"
           "duration_s, unit, those the options above add (surrogates: lambda_floor, p_surrogate;\n"
           "bootstrap: lambda_se, lambda_lower, lambda_upper; clean: windows_used,\n"
           "windows_left_out), warnings. Exit status: 0 all analysed, 2 some file or scale\n"
           "failed (its rows say why), 1 usage error or output not written.\n";
}

}  // namespace nongauss::scan
