// Fuzz target: the artefact detector on arbitrary series with arbitrary
// settings.
//
// The bytes give the settings (small windows and runs, so that every path of
// the search for runs is reached in short series) and a series of up to a few
// thousand intervals (typical RR intervals in seconds, or arbitrary doubles).
// Besides memory safety and defined behaviour: usable settings give one flag
// per interval, each kept or one of the detector's five, the same twice;
// settings it cannot use are refused with std::invalid_argument.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "nongauss/artefacts.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    nongauss::ArtefactSettings s;
    if (in.ConsumeBool()) {
        s.threshold_window = in.ConsumeIntegralInRange(-1, 101);
        s.median_window = in.ConsumeIntegralInRange(-1, 31);
        s.alpha = in.ConsumeBool() ? in.ConsumeFloatingPointInRange(0.0, 20.0) : in.ConsumeFloatingPoint<double>();
        s.min_threshold = in.ConsumeFloatingPointInRange(-0.1, 1.0);
        s.runs = in.ConsumeBool();
        s.keep_window_size = in.ConsumeBool();
        s.max_run = in.ConsumeIntegralInRange(-1, 120);
        s.run_context = in.ConsumeIntegralInRange(0, 20);
        s.run_fraction = in.ConsumeFloatingPointInRange(0.0, 1.0);
        s.run_edge = in.ConsumeFloatingPointInRange(-0.1, 2.0);
    }
    const bool typical = in.ConsumeBool();
    std::vector<double> rr;
    while (in.remaining_bytes() > 0 && rr.size() < 4000)
        rr.push_back(typical ? 0.3 + in.ConsumeIntegral<std::uint16_t>() / 20000.0 : in.ConsumeFloatingPoint<double>());

    const bool usable = nongauss::artefact_settings_problem(s) == nullptr;
    std::vector<nongauss::IntervalFlag> flags;
    try {
        flags = nongauss::detect_artefacts(rr, s);
    } catch (const std::invalid_argument&) {
        if (usable) std::abort();
        return 0;
    }
    if (!usable || flags.size() != rr.size()) std::abort();
    for (const auto f : flags) {
        using F = nongauss::IntervalFlag;
        if (f != F::kept && f != F::ectopic && f != F::missed && f != F::extra && f != F::long_interval &&
            f != F::short_interval)
            std::abort();
    }
    if (nongauss::detect_artefacts(rr, s) != flags) std::abort();
    return 0;
}
