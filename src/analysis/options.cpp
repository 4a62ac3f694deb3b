#include "nongauss/options.hpp"

#include "nongauss/number_text.hpp"

namespace nongauss {

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
        case 'd': settings.degree = convert_int_option(value); return true;
        case 'm':  // below 2 (also 0 and negative values): normal equations
            settings.fit = convert_int_option(value) >= 2 ? FitMethod::svd : FitMethod::normal_equations;
            return true;
        case 'n': {
            const int n = convert_int_option(value);
            settings.nbins = n < 10 ? 10 : n;
            return true;
        }
        case 'q': settings.moment_order = convert_double_option(value); return true;
        case 'r': {
            const double r = convert_double_option(value);
            settings.pdf_divisor = r == 0.0 ? 1.0 : r;
            return true;
        }
        case 's': {
            const double s = convert_double_option(value);
            settings.scale = s < 2.0 ? 2.0 : s;
            return true;
        }
        case 't': {
            const double t = convert_double_option(value);
            settings.dt = t < 0.01 ? 0.01 : t;
            return true;
        }
        default: return false;
    }
}

}  // namespace nongauss
