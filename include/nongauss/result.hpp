#pragma once

// What an analysis at one scale gives.

#include <optional>
#include <string>
#include <vector>

#include "nongauss/error.hpp"
#include "nongauss/series.hpp"

namespace nongauss {

struct Result {
    // --- the scale ---
    /// The scale in seconds after the limits (Settings::scale, at least 2):
    /// the double the scale line ("%5.5lf") and the summary ("%5.1lf") format.
    double scale_s = 0.0;
    /// The scale in points: scale_s / dt rounded (halves up), at least 1,
    /// saturated at LONG_MAX: the "(%ld pt)" of the scale line.
    long scale_pt = 0;

    // --- the series (copied from the Series for convenience) ---
    std::size_t n_beats = 0;
    double duration_s = 0.0;
    Unit unit = Unit::seconds;

    // --- the results ---
    /// Standard deviation of the increments (divisor n_increments), seconds.
    double sd_s = 0.0;
    /// 1000 * sd_s: the double both summary lines format ("%7.1lf").
    double sd_ms = 0.0;
    /// Lambda: the square root of lambda_sq when that is positive and finite,
    /// otherwise 0. The double the summary lines format ("%4.3lf", "%5.4lf").
    double lambda = 0.0;
    /// The estimate of lambda squared, whatever its value (negative, infinite
    /// or not a number possible; the "square of lambda = %lf" line prints it
    /// when it is not positive and finite).
    double lambda_sq = 0.0;
    /// The number of increments.
    int n_increments = 0;
    /// The increment windows at this scale (detrending windows, or moving
    /// sums without detrending) analysed, and those left out because they
    /// touch a masked stretch (ScaleOptions::masked); n_increments counts the
    /// increments of the windows used.
    long windows_used = 0;
    long windows_left_out = 0;
    /// Mean of the increments before centring, seconds.
    double increment_mean_s = 0.0;

    /// The standardised increments, (increment - mean) / sd_s, n_increments
    /// of them (0-based), the values lambda and the histogram are computed
    /// from. Empty unless asked for (ScaleOptions::increments).
    std::vector<double> increments;

    /// Histogram: nbins bin centres (in units of the SD) and the empirical
    /// density, 0-based. The PDF file shows p_exp[i] / pdf_divisor.
    std::vector<double> bin_centre;
    std::vector<double> p_exp;
    /// The model density at each bin centre (the PDF file shows
    /// p_model[i] / pdf_divisor); empty when it was not asked for.
    std::vector<double> p_model;

    /// Problems the user should know of: the series' warnings, then this
    /// scale's (each without a "Warning: " prefix or a newline).
    std::vector<std::string> warnings;

    /// analyse_scales only: set when this scale could not be analysed (then
    /// only scale_s, scale_pt, the series fields and warnings are meaningful).
    /// analyse() throws instead.
    std::optional<Error> error;
};

}  // namespace nongauss
