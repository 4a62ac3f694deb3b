#include "clean/rr_text.hpp"

#include <algorithm>
#include <cstdio>

#include "text/decimal.hpp"

namespace nongauss::clean {

bool load_file(const std::string& name, std::string& content) {
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) return false;
    content.clear();
    char chunk[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        content.append(chunk, got);
        if (got < sizeof chunk) break;
    }
    std::fclose(file);
    return true;
}

void scan_numbers(RRText& rr) {
    const std::string_view all(rr.content);
    rr.numbers.clear();
    rr.stop_line = 0;
    std::size_t pos = 0;
    int line = 1;
    for (;;) {
        while (pos < all.size() && is_space(all[pos])) {
            if (all[pos] == '\n') ++line;
            ++pos;
        }
        if (pos == all.size()) return;
        const std::size_t len = decimal_prefix_length(all.substr(pos));
        if (len == 0) {
            rr.stop_line = line;
            return;
        }
        rr.numbers.push_back({pos, len, decimal_value(all.substr(pos, len))});
        pos += len;
    }
}

int resolution_decimals(const RRText& rr) {
    int best = 0;
    for (std::size_t i = 0; i < rr.numbers.size(); ++i) {
        const std::string_view t = rr.text(i);
        std::size_t k = 0;
        long fraction = 0;
        while (k < t.size() && t[k] != '.' && t[k] != 'e' && t[k] != 'E') ++k;
        if (k < t.size() && t[k] == '.') {
            ++k;
            while (k < t.size() && is_digit(t[k])) ++k, ++fraction;
        }
        long exponent = 0;
        if (k < t.size() && (t[k] == 'e' || t[k] == 'E')) {
            ++k;
            bool negative = false;
            if (t[k] == '+' || t[k] == '-') negative = t[k++] == '-';
            while (k < t.size() && is_digit(t[k])) {
                if (exponent < 1000) exponent = exponent * 10 + (t[k] - '0');
                ++k;
            }
            if (negative) exponent = -exponent;
        }
        best = static_cast<int>(std::clamp<long>(fraction - exponent, best, 9));
    }
    return best;
}

}  // namespace nongauss::clean
