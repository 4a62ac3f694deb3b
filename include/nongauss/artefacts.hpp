#pragma once

// Artefact detection in a series of RR intervals by beat classification.
//
// The published method (Lipponen and Tarvainen, 2019) looks at each interval
// through two normalised series:
//
//   dRR(n)  = RR(n) - RR(n-1), the successive difference (dRR(0) = 0), over
//             Th1(n) = alpha * QD(|dRR|) in a window of `threshold_window`
//             beats around n: dRRs(n) = dRR(n) / Th1(n);
//   mRR(n)  = RR(n) - medRR(n), the difference from the median of
//             `median_window` intervals around n, doubled where negative
//             (short intervals weigh more), over Th2(n) = alpha * QD(|mRR|)
//             in the same wide window: mRRs(n) = mRR(n) / Th2(n).
//
// QD is the quartile deviation, half the distance between the first and
// third quartiles (quartiles by linear interpolation between order
// statistics). Interval n is then placed in two planes:
//
//   S11 = dRRs(n), S12 = max(dRRs(n-1), dRRs(n+1)) where dRRs(n) > 0, the min
//   where it is negative: an ectopic beat when |S11| > 1 and
//   S12 < -c1 * S11 - c2 (S11 > 0) or S12 > -c1 * S11 + c2 (S11 < 0): a jump
//   with jumps of the other sign on both sides, the pattern of a premature
//   beat and its compensating pause.
//
//   S21 = dRRs(n), S22 = dRRs(n+1) where dRRs(n) >= 0, max(dRRs(n+1),
//   dRRs(n+2)) where it is negative: a long (short) interval when S21 > 1
//   and S22 < -1 (S21 < -1 and S22 > 1), or when |mRRs(n)| > `median_limit`
//   (then the sign of mRRs decides between long and short). (The published
//   S22 is min(dRRs(n+1), dRRs(n+2)) where dRRs(n) >= 0; we take the next
//   interval alone: a long interval returns at once, and a peak of the
//   rhythm that falls over two beats was flagged. A short one may return
//   after two: an extra beat splits one interval in two short ones.)
//   A long interval with |RR(n)/2 - medRR(n)| < Th2(n) is a missed beat; a
//   short one with |RR(n) + RR(n+1) - medRR(n)| < Th2(n) an extra beat.
//
// How the classes become flags, one per interval: an ectopic jump at n flags
// a pair: after a rise, the two intervals it lies between (n-1, the
// premature beat's interval, and n, the pause); after a fall into the
// shorter interval n, n with the longer of n-1 and n+1 (the published
// method takes n-1 and n, which flags the ordinary interval before a
// premature beat whose pause follows); an extra beat at n flags n and n+1 (the two intervals that
// sum to one); missed, long and short flag n alone. Ectopic flags are set
// first; the others only flag intervals not flagged yet.
//
// Steps of our own (the first three in `ArtefactSettings`):
//   - Windows keep their size near the ends of the series (they slide
//     inwards, as the cleaner's median window does) instead of shrinking to
//     the centred part that exists (`keep_window_size = false`), so
//     that a cluster of gaps at either end is a minority of its median
//     window. A series shorter than a window uses all of its intervals.
//   - Thresholds never fall below `min_threshold` times medRR(n), so that a
//     stretch of nearly identical intervals (a small QD, common with coarse
//     time stamps: 1/128 s makes most |dRR| 0 or one tick) does not make every
//     change of a few ticks an artefact. The default, 12 % of the local
//     median, was chosen on the injected-artefact benchmark (bench/artefacts):
//     it flags fewer intervals of a clean synthetic series than the
//     cleaner's median filter does (12 against 65 per 100,000) and found as
//     many of every injected kind as 10 %. The cleaner sets the floor to its
//     deviation fraction (-p, 20 % by default: no flag on that clean series).
//     An ectopic beat less than 12 % premature is left alone.
//   - Runs: a run of abnormal intervals longer than about half the median
//     window moves the median itself and passes the published tests. A run
//     is a jump at i (|dRRs(i)| > 1) and a jump of the other sign at j,
//     i < j <= i + `max_run`, such that the median of the intervals i..j-1
//     differs from the medians of the `run_context` intervals before i and
//     from j on by more than Th1 and by more than `run_fraction` of them
//     (twice that above them: as in mRR, a shortening weighs double), both
//     in the same direction, while those two outer levels are closer to each
//     other than the smaller of the two differences, and each jump makes up
//     at least `run_edge` of that smaller difference (an artefact switches
//     at once; a heart's own acceleration and return build up over beats;
//     the rate may move on beside a run, which the larger difference then
//     holds as well). The nearest such j is taken.
//     At the start of the series the run is 0..j-1 (no jump needed at 0, the
//     largest qualifying j <= `max_run`); at the end, i..N-1 (the smallest
//     qualifying i >= N - `max_run`), each tested against its one outer
//     level (and its one jump). The intervals of a run not flagged yet are flagged
//     long_interval or short_interval by its direction.
//   - An ectopic pair never holds an interval longer than twice medRR (a
//     compensating pause is shorter): alternating jumps among gaps are
//     classified as long and short intervals instead. And its shorter
//     interval (n-1 where dRR(n) > 0, n where it is negative) lies below its
//     median by more than Th2 / 2 (mRRs < -1): a swing of the rhythm with
//     the pattern but without a premature interval is no ectopic beat.
//
// Intervals that are not positive finite numbers are flagged (short_interval
// when <= 0, long_interval otherwise, NaN included) and left out of every
// computation; the others are classified as a series of their own.
//
// Deterministic: the same input gives the same flags on every platform with
// IEEE doubles (basic arithmetic in a fixed order, no library functions but
// fabs).

#include <cstddef>
#include <span>
#include <vector>

#include "nongauss/interval_flags.hpp"

namespace nongauss {

/// The detector's parameters; the defaults are the published ones where the
/// method has them.
struct ArtefactSettings {
    int threshold_window = 91;      ///< beats in the window of the quartile deviations (odd, >= 3)
    double alpha = 5.2;             ///< threshold: alpha times the quartile deviation
    int median_window = 11;         ///< beats in the window of medRR (odd, >= 3)
    double c1 = 0.13;               ///< slope of the ectopic regions' border
    double c2 = 0.17;               ///< offset of the ectopic regions' border
    double median_limit = 3.0;      ///< |mRRs| above which an interval is long or short
    double min_threshold = 0.12;    ///< floor of Th1 and Th2, fraction of medRR (0: none)
    bool keep_window_size = true;   ///< windows slide inwards at the ends (false: they shrink)
    bool runs = true;               ///< look for runs of abnormal intervals (our step)
    int max_run = 100;              ///< longest run looked for, intervals
    int run_context = 10;           ///< intervals on each side that give a run's outer level
    double run_fraction = 0.2;      ///< least difference of a run from its outer level, fraction
    double run_edge = 0.7;          ///< least share of that difference made by each edge's jump
};

/// Whether `settings` can be used: windows odd and at least 3, alpha, the
/// limits and the fraction positive and finite, c1 and c2 finite, the
/// threshold floor finite and not negative, max_run and run_context at least
/// 1. A null pointer when usable, else what is wrong.
const char* artefact_settings_problem(const ArtefactSettings& settings) noexcept;

/// One flag per interval of `seconds` (intervals in seconds): kept, or
/// ectopic, missed, extra, long_interval or short_interval. Throws
/// std::invalid_argument when the settings are not usable.
std::vector<IntervalFlag> detect_artefacts(std::span<const double> seconds,
                                           const ArtefactSettings& settings = {});

}  // namespace nongauss
