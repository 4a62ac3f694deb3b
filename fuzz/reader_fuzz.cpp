// Fuzz target: the input reader on arbitrary bytes.
//
// The bytes become the input file. Besides memory safety, the values read must
// be those of a plain scan of the whole text (the reader works in chunks and
// must not split or merge numbers at chunk boundaries), never NaN, and at most
// one per byte.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/decimal.hpp"
#include "text/reader.hpp"
#include "numeric/arrays.hpp"
#include "scratch.hpp"

namespace {

std::string input_path;

// The series as a scan of the whole text at once gives it.
std::vector<double> plain_scan(std::string_view text) {
    std::vector<double> values;
    std::size_t pos = 0;
    for (;;) {
        while (pos < text.size() && nongauss::is_space(text[pos])) ++pos;
        const std::size_t len = nongauss::decimal_prefix_length(text.substr(pos));
        if (len == 0) return values;
        values.push_back(nongauss::decimal_value(text.substr(pos, len)));
        pos += len;
    }
}

bool same_double(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    input_path = nongauss::fuzzing::make_scratch_dir() + "/rec";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using nongauss::fuzzing::require;
    nongauss::fuzzing::write_file(input_path, data, size);
    const int n = nongauss::read_series(input_path.c_str());

    const std::vector<double> expect =
        plain_scan(std::string_view(reinterpret_cast<const char*>(data), size));
    require(n >= 0 && static_cast<std::size_t>(n) <= size, "count within the bytes");
    require(static_cast<std::size_t>(n) == expect.size(), "count equals a plain scan");
    require(n == 0 || nongauss::rri != nullptr, "values have storage");
    for (int k = 1; k <= n; ++k) {
        require(!std::isnan(nongauss::rri[k]), "no NaN is ever read");
        require(same_double(nongauss::rri[k], expect[k - 1]), "value equals a plain scan");
    }

    if (nongauss::rri != nullptr) nongauss::release_vector(nongauss::rri, 1, n);
    nongauss::rri = nullptr;
    require(nongauss::blocks_held() == 0, "the reader holds nothing but the series");
    return 0;
}
