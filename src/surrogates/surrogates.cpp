// IAAFT and phase-randomised surrogates over FFTW's real transforms.

#include "nongauss/surrogates.hpp"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <mutex>
#include <new>
#include <numbers>

#include "surrogates/argsort.hpp"
#include "surrogates/parallel.hpp"
#include "numeric/random.hpp"

namespace nongauss {

namespace {

// FFTW's planner (plan creation and destruction) is not thread-safe; the
// execution of a plan on new arrays is.
std::mutex& planner_lock() {
    static std::mutex lock;
    return lock;
}

// An array from fftw_malloc: aligned as FFTW's plans expect, so that a plan
// made on one such array takes the same code path on every other.
template <typename T>
class FftwArray {
public:
    explicit FftwArray(std::size_t n) : p_(static_cast<T*>(fftw_malloc(sizeof(T) * std::max<std::size_t>(n, 1)))) {
        if (p_ == nullptr) throw std::bad_alloc();
    }
    ~FftwArray() { fftw_free(p_); }
    FftwArray(const FftwArray&) = delete;
    FftwArray& operator=(const FftwArray&) = delete;
    T* get() const noexcept { return p_; }
    T& operator[](std::size_t i) const noexcept { return p_[i]; }

private:
    T* p_;
};

double modulus(const fftw_complex& c) { return std::sqrt(c[0] * c[0] + c[1] * c[1]); }

}  // namespace

struct SurrogateMaker::Plans {
    fftw_plan forward = nullptr;   // r2c, n reals -> n/2 + 1 complex
    fftw_plan backward = nullptr;  // c2r, n/2 + 1 complex -> n reals (destroys its input)
    // The same at the IAAFT's padded length m (null when m = n).
    fftw_plan forward_padded = nullptr;
    fftw_plan backward_padded = nullptr;
};

// The smallest length m >= n, a multiple of 16 whose other prime factors are
// 3, 5 and 7 (FFTW's real transforms of such lengths, measured at 24 h: 0.8 ms
// a pair against 2.0 ms for odd 3^7 7^2 and 9.8 ms for n = 29 x 3,671).
static std::size_t fast_transform_length(std::size_t n) {
    for (std::size_t m = (n + 15) / 16 * 16;; m += 16) {
        std::size_t r = m;
        for (const std::size_t p : {2, 3, 5, 7})
            while (r % p == 0) r /= p;
        if (r == 1) return m;
    }
}

SurrogateMaker::SurrogateMaker(std::vector<double> intervals, const SurrogateOptions& options)
    : intervals_(std::move(intervals)), options_(options) {
    const std::size_t n = intervals_.size();
    if (n == 0) throw Error(ErrorKind::input, "No data was read!");
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw Error(ErrorKind::input, "Surrogates: more than 2^31 - 1 intervals");
    for (double x : intervals_)
        if (!std::isfinite(x)) throw Error(ErrorKind::input, "Surrogates: an interval is not finite");
    if (options_.max_iterations < 1) options_.max_iterations = 1;
    sorted_ = intervals_;
    std::sort(sorted_.begin(), sorted_.end());

    FftwArray<double> real(n);
    FftwArray<fftw_complex> spectrum(n / 2 + 1);
    plans_ = new Plans;
    {
        std::lock_guard<std::mutex> hold(planner_lock());
        const int size = static_cast<int>(n);
        plans_->forward = fftw_plan_dft_r2c_1d(size, real.get(), spectrum.get(), FFTW_ESTIMATE);
        plans_->backward = fftw_plan_dft_c2r_1d(size, spectrum.get(), real.get(), FFTW_ESTIMATE);
    }
    if (plans_->forward == nullptr || plans_->backward == nullptr) {
        release(plans_);
        throw std::bad_alloc();
    }
    std::copy(intervals_.begin(), intervals_.end(), real.get());
    fftw_execute_dft_r2c(plans_->forward, real.get(), spectrum.get());
    try {
        amplitude_.resize(n / 2 + 1);
    } catch (...) {
        release(plans_);
        throw;
    }
    for (std::size_t j = 0; j <= n / 2; ++j) amplitude_[j] = modulus(spectrum[j]);
    dc_ = spectrum[0][0];
    nyquist_ = spectrum[n / 2][0];

    padded_ = options_.kind == SurrogateKind::iaaft && options_.padded ? fast_transform_length(n) : n;
    if (padded_ == n) return;
    // The series followed by padded_ - n copies of its mean, and its spectrum.
    const std::size_t m = padded_;
    double sum = 0.0;
    for (const double x : intervals_) sum += x;
    mean_ = sum / static_cast<double>(n);
    try {
        FftwArray<double> padded_real(m);
        FftwArray<fftw_complex> padded_spectrum(m / 2 + 1);
        {
            std::lock_guard<std::mutex> hold(planner_lock());
            const int size = static_cast<int>(m);
            plans_->forward_padded =
                fftw_plan_dft_r2c_1d(size, padded_real.get(), padded_spectrum.get(), FFTW_ESTIMATE);
            plans_->backward_padded =
                fftw_plan_dft_c2r_1d(size, padded_spectrum.get(), padded_real.get(), FFTW_ESTIMATE);
        }
        if (plans_->forward_padded == nullptr || plans_->backward_padded == nullptr) throw std::bad_alloc();
        std::copy(intervals_.begin(), intervals_.end(), padded_real.get());
        for (std::size_t i = n; i < m; ++i) padded_real[i] = mean_;
        fftw_execute_dft_r2c(plans_->forward_padded, padded_real.get(), padded_spectrum.get());
        padded_amplitude_.resize(m / 2 + 1);
        for (std::size_t j = 0; j <= m / 2; ++j) padded_amplitude_[j] = modulus(padded_spectrum[j]);
    } catch (...) {
        release(plans_);
        throw;
    }
}

void SurrogateMaker::release(Plans*& plans) noexcept {
    if (plans == nullptr) return;
    {
        std::lock_guard<std::mutex> hold(planner_lock());
        if (plans->forward != nullptr) fftw_destroy_plan(plans->forward);
        if (plans->backward != nullptr) fftw_destroy_plan(plans->backward);
        if (plans->forward_padded != nullptr) fftw_destroy_plan(plans->forward_padded);
        if (plans->backward_padded != nullptr) fftw_destroy_plan(plans->backward_padded);
    }
    delete plans;
    plans = nullptr;
}

SurrogateMaker::~SurrogateMaker() { release(plans_); }

std::vector<double> SurrogateMaker::make(std::uint64_t seed, std::uint64_t k, Info* info) const {
    const std::size_t n = intervals_.size();
    const std::size_t half = n / 2;
    Xoshiro256 random(seed, k);
    FftwArray<double> real(n);
    FftwArray<fftw_complex> spectrum(half + 1);
    std::vector<double> out(n);

    if (options_.kind == SurrogateKind::phase_randomised) {
        // The mean (j = 0) and, for even n, the real Nyquist term are the
        // series' own; every other term gets the series' modulus and a
        // uniform phase, drawn in order of j.
        spectrum[0][0] = dc_;
        spectrum[0][1] = 0.0;
        const std::size_t last_free = n % 2 == 0 ? half - 1 : half;
        for (std::size_t j = 1; j <= last_free && j < n; ++j) {
            const double phase = 2.0 * std::numbers::pi * random.uniform();
            spectrum[j][0] = amplitude_[j] * std::cos(phase);
            spectrum[j][1] = amplitude_[j] * std::sin(phase);
        }
        if (n % 2 == 0 && n > 1) {
            spectrum[half][0] = nyquist_;
            spectrum[half][1] = 0.0;
        }
        fftw_execute_dft_c2r(plans_->backward, spectrum.get(), real.get());
        const double scale = static_cast<double>(n);
        for (std::size_t i = 0; i < n; ++i) out[i] = real[i] / scale;
        if (info != nullptr) *info = Info{};
        return out;
    }

    // IAAFT: start from a random permutation (Fisher-Yates, from the top).
    out = intervals_;
    for (std::size_t i = n - 1; i > 0; --i) std::swap(out[i], out[random.below(i + 1)]);
    // At the padded length the transforms see the surrogate followed by the
    // series' mean, and its first n values are ranked.
    const bool padded = padded_ != n;
    const std::size_t length = padded_;
    const std::size_t top = length / 2;
    FftwArray<double> padded_real(padded ? length : 1);
    FftwArray<fftw_complex> padded_spectrum(padded ? top + 1 : 1);
    double* const work = padded ? padded_real.get() : real.get();
    fftw_complex* const freq = padded ? padded_spectrum.get() : spectrum.get();
    const fftw_plan forward = padded ? plans_->forward_padded : plans_->forward;
    const fftw_plan backward = padded ? plans_->backward_padded : plans_->backward;
    const std::vector<double>& target = padded ? padded_amplitude_ : amplitude_;
    surrogates::ArgSort argsort;
    std::vector<std::uint32_t> previous;
    Info done;
    for (int iteration = 1; iteration <= options_.max_iterations; ++iteration) {
        std::copy(out.begin(), out.end(), work);
        for (std::size_t i = n; i < length; ++i) work[i] = mean_;
        fftw_execute_dft_r2c(forward, work, freq);
        for (std::size_t j = 0; j <= top; ++j) {
            const double m = modulus(freq[j]);
            if (m > 0.0) {
                const double f = target[j] / m;
                freq[j][0] *= f;
                freq[j][1] *= f;
            } else {
                freq[j][0] = target[j];
                freq[j][1] = 0.0;
            }
        }
        // The inverse is `length` times the series with that spectrum; ranks
        // do not need the division.
        fftw_execute_dft_c2r(backward, freq, work);
        const std::vector<std::uint32_t>& order = argsort(work, n);
        for (std::size_t r = 0; r < n; ++r) out[order[r]] = sorted_[r];
        done.iterations = iteration;
        if (order == previous) {
            done.converged = true;
            break;
        }
        previous.swap(argsort.index);  // order, kept without a copy; the next call refills index
    }
    if (info != nullptr) *info = done;
    return out;
}

std::vector<double> amplitude_spectrum(const std::vector<double>& values) {
    return SurrogateMaker(values).amplitude();
}

std::vector<std::vector<double>> make_surrogates(const std::vector<double>& intervals, std::uint64_t seed,
                                                 int count, const SurrogateOptions& options) {
    const SurrogateMaker maker(intervals, options);
    std::vector<std::vector<double>> out(static_cast<std::size_t>(std::max(count, 0)));
    surrogates::for_each_task(options.pool, out.size(), [&](std::size_t k) { out[k] = maker.make(seed, k); });
    return out;
}

}  // namespace nongauss
