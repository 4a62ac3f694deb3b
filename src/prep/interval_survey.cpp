#include "prep/interval_survey.hpp"

#include <cmath>

namespace nongauss {

IntervalSurvey survey_intervals(const double* rri, int ndata, double unit) {
    IntervalSurvey survey;
    double sum = 0.0;
    double elapsed = 0.0;
    int stalled = 0;
    int unusable = 0;
    std::size_t at_most_100 = 0;
    for (int i = 1; i <= ndata; ++i) {
        const double v = rri[i];
        if (unusable == 0 && (!(v > 0.0) || !std::isfinite(v))) unusable = i;
        const double seconds = v / unit;
        if (stalled == 0 && i <= ndata - 1) {
            const double next = elapsed + (unit > 1 ? seconds : v);
            if (next > elapsed)
                elapsed = next;
            else
                stalled = i;
        }
        sum = sum + v;
        survey.range.add(seconds);
        if (i >= 2 && v <= 100) ++at_most_100;
    }
    survey.unusable_row = unusable;
    survey.stalled_row = stalled;
    survey.stalled_elapsed = elapsed;
    survey.sum = sum;
    survey.others_at_most_100 = at_most_100;
    return survey;
}

}  // namespace nongauss
