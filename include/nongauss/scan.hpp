#pragma once

// A scan: one recording analysed at many scales, with what defends its
// lambda (the surrogate floor and test, the sampling spread, the windows
// clear of artefacts), written as the rows of one tab-separated table. The
// options that choose all this are read here once, for every face that
// takes them (nongauss-scan, nongauss-report and, through them, the cohort
// and the Python module).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "nongauss/result.hpp"
#include "nongauss/settings.hpp"
#include "nongauss/surrogates.hpp"
#include "nongauss/thread_pool.hpp"

namespace nongauss {

/// What a scan of one file computes.
struct ScanSettings {
    Settings settings;               ///< the analysis options (the tool's letters and limits)
    std::vector<double> scales;      ///< seconds, in the order given (limited by the analysis)
    std::string pdf_dir;             ///< a directory for each scale's density; empty: none
    int surrogates = 0;              ///< surrogates for the floor and test; 0: none
    SurrogateKind surrogate_kind = SurrogateKind::iaaft;
    std::uint64_t seed = 1;          ///< of the surrogates and the bootstrap
    int bootstrap = 0;               ///< block-bootstrap replicates; 0: none
    bool clean = false;              ///< flag artefacts, fill them, leave out the windows they touch
    bool wfdb = false;               ///< the file is a beat annotation file
    bool all_beats = false;          ///< with wfdb: every beat-to-beat interval, not normal-to-normal
};

/// The largest counts of surrogates and bootstrap replicates.
inline constexpr int max_surrogates = 100000;
inline constexpr int max_bootstrap = 1000000;

/// What take_scan_option did with a word.
enum class OptionTaken {
    no,     ///< not one of the words below: the face's own, or unknown
    yes,    ///< taken into the settings
    error,  ///< one of them, with a missing or wrong value (`error` says why)
};

/// Which of the tool's analysis letters a face takes besides the analysis
/// proper (d m q 0 1 3 t n): `v` and `a` shape only the tool's TS file, `r`
/// the densities written.
struct LetterScope {
    bool ts_file = false;  ///< -v, -a
    bool pdf_file = false; ///< -r
};

/// Takes the option `word`, asking `value` for its value word when it needs
/// one (false from `value`: there is none). The words: -s LIST and
/// -S FROM:TO:N (scales, appended), the tool's analysis letters in `letters`'
/// scope (converted and limited as the tool does), --surrogates N,
/// --surrogate-kind iaaft|phase, --bootstrap B and --seed S. `error` is one
/// line without a newline.
OptionTaken take_scan_option(const std::string& word, const std::function<bool(std::string&)>& value,
                             LetterScope letters, ScanSettings& scan, std::string& error);

/// The help lines of those words (two spaces in, the text at column 19),
/// with the defaults of Settings and ScanSettings.
std::string scan_option_help(LetterScope letters);

/// A scale list "5,10,25.5": every item a whole decimal number. False for an
/// empty list, an empty item or an item that is not a number.
bool parse_scale_list(const std::string& text, std::vector<double>& scales);

/// "FROM:TO:N": N scales spaced evenly on a logarithmic axis from FROM to TO
/// (both > 0, N >= 1 a whole number). False otherwise.
bool parse_scale_range(const std::string& text, std::vector<double>& scales);

/// The header line (with its newline): the columns of the analysis, then
/// those the settings ask for (surrogates: lambda_floor, p_surrogate;
/// bootstrap: lambda_se, lambda_lower, lambda_upper; clean: windows_used,
/// windows_left_out), then warnings.
std::string scan_table_header(const ScanSettings& scan = {});

/// What a row holds beyond the analysis (NaN: not known, an empty field).
struct ScanExtras {
    double lambda_floor = __builtin_nan("");
    double p_surrogate = __builtin_nan("");
    double lambda_se = __builtin_nan("");
    double lambda_lower = __builtin_nan("");
    double lambda_upper = __builtin_nan("");
};

/// A number in its shortest form that reads back as the same double.
std::string shortest(double value);

/// A row for a result (with its newline). Without a result (result.error
/// set) the numbers of the analysis stay empty and the warnings column ends
/// with "error: MESSAGE" (the message without its trailing newlines).
/// `series_known`: n_beats, duration_s and unit are filled in.
std::string scan_table_row(const std::string& file, const Result& result, bool series_known,
                           const ScanSettings& scan = {}, const ScanExtras& extras = {});

/// The name of a density file: the file's name without its directories, up
/// to its first '.', then "_", the scale in shortest form, "s_PDF.txt".
std::string pdf_name(const std::string& file, double scale_s);

/// Analyses one file at every scale and returns its rows, in scale order.
/// Never throws for the file's problems: they go into the rows. `failed` is
/// set when a row holds an error. With a PDF directory each scale's density
/// is written there (through the output file). The analysis uses the
/// threads of `pool` that other work leaves free.
std::string scan_file(const std::string& file, const ScanSettings& scan, ThreadPool& pool, bool& failed);

}  // namespace nongauss
