#pragma once

// The analysis options of the tool, with the tool's defaults and limits.

#include <climits>
#include <cstddef>

namespace nongauss {

/// How the RR intervals are resampled onto the even grid (-0, -1, -3).
enum class Interpolation { step, linear, spline };

/// How the detrending polynomials are fitted (-m 1, -m 2).
enum class FitMethod { normal_equations, svd };

/// The lower limits of the settings (see with_limits).
inline constexpr double min_scale_s = 2.0;
inline constexpr double min_dt_s = 0.01;
inline constexpr int min_bins = 10;

/// A choice and the word that names it where a face takes words (the Python
/// module's resample= and fit=), in the order of their defaults first.
template <typename Choice>
struct ChoiceName {
    Choice choice;
    const char* name;
};
inline constexpr ChoiceName<Interpolation> interpolation_names[] = {
    {Interpolation::spline, "spline"}, {Interpolation::linear, "linear"}, {Interpolation::step, "step"}};
inline constexpr ChoiceName<FitMethod> fit_method_names[] = {
    {FitMethod::normal_equations, "normal"}, {FitMethod::svd, "svd"}};

/// The word of `choice` in `names`.
template <typename Choice, std::size_t N>
constexpr const char* name_of(const ChoiceName<Choice> (&names)[N], Choice choice) {
    for (const ChoiceName<Choice>& n : names)
        if (n.choice == choice) return n.name;
    return "";
}

struct Settings {
    /// -s: coarse-graining scale in seconds; below 2 it is raised to 2.
    double scale = 25.0;
    /// -d: degree of the detrending polynomial; 0 or less: no detrending
    /// (moving sums). The fit has degree + 1 coefficients (INT_MAX stays
    /// INT_MAX).
    int degree = 3;
    /// -m: fitting method of the detrending polynomials.
    FitMethod fit = FitMethod::normal_equations;
    /// -0 / -1 / -3: resampling method.
    Interpolation interpolation = Interpolation::spline;
    /// -t: resampling interval in seconds; below 0.01 it is raised to 0.01.
    double dt = 0.25;
    /// -q: order q of the absolute moment; 0 uses the logarithmic moment;
    /// below -0.9 the estimator uses -0.9.
    double moment_order = 0.25;
    /// -n: number of histogram bins; below 10 it is raised to 10.
    int nbins = 100;
    /// -r: divides both density columns of the PDF file (the densities in a
    /// Result are never divided); 0 is replaced by 1. PDF file only.
    double pdf_divisor = 1.0;
    /// -v / -a: the TS file shows standardised increments instead of
    /// milliseconds. TS file only.
    bool standardized_ts = false;
};

/// The settings with the tool's limits applied (as listed above). Applying
/// them twice changes nothing. Every library call applies them itself.
Settings with_limits(Settings settings);

/// Coefficients of the detrending fit: degree + 1, or INT_MAX for INT_MAX;
/// 1 or less means no detrending.
constexpr int fit_coefficients(const Settings& settings) {
    return settings.degree == INT_MAX ? INT_MAX : settings.degree + 1;
}

}  // namespace nongauss
