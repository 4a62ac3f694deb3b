#include "nongauss/options.hpp"

#include "nongauss/number_text.hpp"

namespace nongauss {

Settings with_limits(Settings s) {
    if (s.scale < min_scale_s) s.scale = min_scale_s;
    if (s.dt < min_dt_s) s.dt = min_dt_s;
    if (s.nbins < min_bins) s.nbins = min_bins;
    if (s.pdf_divisor == 0.0) s.pdf_divisor = 1.0;
    return s;
}

bool apply_flag_option(char option, Settings& settings) {
    switch (option) {
        case '0': settings.interpolation = Interpolation::step; return true;
        case '1': settings.interpolation = Interpolation::linear; return true;
        case '3': settings.interpolation = Interpolation::spline; return true;
        case 'v': case 'a': settings.standardized_ts = true; return true;
        default: return false;
    }
}

bool apply_value_option(char option, const char* value, Settings& settings) {
    switch (option) {
        case 'd': settings.degree = convert_int_option(value); break;
        case 'm': settings.fit = fit_method_of(convert_int_option(value)); break;
        case 'n': settings.nbins = convert_int_option(value); break;
        case 'q': settings.moment_order = convert_double_option(value); break;
        case 'r': settings.pdf_divisor = convert_double_option(value); break;
        case 's': settings.scale = convert_double_option(value); break;
        case 't': settings.dt = convert_double_option(value); break;
        default: return false;
    }
    settings = with_limits(settings);
    return true;
}

}  // namespace nongauss
