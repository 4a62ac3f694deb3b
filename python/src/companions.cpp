#include "companions.hpp"

namespace nongauss::python {

std::vector<double> synth_intervals(const synth::Model& model, const synth::Format& format,
                                    long& clamped) {
    const synth::Series series = synth::generate(model, format);
    clamped = series.clamped;
    // quanta / 10^decimals: both exact, so the one rounded division gives the
    // double nearest the decimal text, which is what reading the text gives.
    double per_unit = 1.0;
    for (int k = 0; k < format.decimals; ++k) per_unit *= 10.0;
    std::vector<double> intervals(series.quanta.size());
    for (std::size_t i = 0; i < intervals.size(); ++i)
        intervals[i] = static_cast<double>(series.quanta[i]) / per_unit;
    return intervals;
}

}  // namespace nongauss::python
