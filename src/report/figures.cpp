#include "report/figures.hpp"

#include <algorithm>
#include <cmath>

#include "report/gnuplot.hpp"

namespace nongauss::report {

namespace {

const char* const terminal = "set terminal svg size 1000,%d font 'DejaVu Sans,12' background '#ffffff'\n";

std::string terminal_line(int height) {
    char text[160];
    std::snprintf(text, sizeof text, terminal, height);
    return text;
}

std::string n(double v) { return data_number(v); }

// An empty frame: gnuplot refuses to plot nothing, so a constant outside the
// range stands for it.
const char* const empty_plot = "unset logscale\nset xrange [0:1]\nset yrange [0:1]\nplot 2 notitle\n";

}  // namespace

std::string tachogram_script(const Recording& r) {
    const std::vector<double>& s = r.seconds;
    std::string script = terminal_line(330);
    script += "set encoding utf8\nset xlabel 'time from the first beat (h)'\nset ylabel 'RR interval (ms)'\n"
              "set grid\nset key below horizontal\n";
    // Only positive finite intervals take time (a cleaned input may hold
    // others, which the cleaner flagged); their sum must be finite too.
    const auto usable = [](double v) { return v > 0.0 && v <= 1e12; };
    double total = 0.0;
    for (const double v : s)
        if (usable(v)) total += v;
    if (s.empty() || !(total > 0.0)) return script + "set label 'no intervals' at graph 0.5,0.5 center\n" + empty_plot;
    const int columns = tachogram_columns;
    const double span = total / columns;
    std::vector<double> low(columns, INFINITY), high(columns, -INFINITY);
    std::vector<char> flagged(columns, 0);
    std::vector<double> kept;
    kept.reserve(s.size());
    double t = 0.0;
    const auto column = [&](double time) {
        const double p = time / span;
        return p >= 0.0 ? static_cast<int>(std::min(p, static_cast<double>(columns - 1))) : 0;
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!usable(s[i])) continue;
        const int c = column(t);
        const bool is_flagged = i < r.flags.size() && r.flags[i] != IntervalFlag::kept;
        // A flagged interval marks every column its time spans.
        if (is_flagged) {
            const int last = column(t + s[i]);
            for (int k = c; k <= last; ++k) flagged[static_cast<std::size_t>(k)] = 1;
        } else {
            kept.push_back(s[i]);
        }
        low[static_cast<std::size_t>(c)] = std::min(low[static_cast<std::size_t>(c)], 1000.0 * s[i]);
        high[static_cast<std::size_t>(c)] = std::max(high[static_cast<std::size_t>(c)], 1000.0 * s[i]);
        t += s[i];
    }
    // The vertical range: the kept intervals' 0.1 % to 99.9 %, widened; gaps
    // and artefacts beyond it are cut at the edge.
    if (kept.empty())
        for (const double v : s)
            if (usable(v)) kept.push_back(v);
    std::sort(kept.begin(), kept.end());
    const double lo = 1000.0 * kept[static_cast<std::size_t>(0.001 * static_cast<double>(kept.size() - 1))];
    const double hi = 1000.0 * kept[static_cast<std::size_t>(0.999 * static_cast<double>(kept.size() - 1))];
    const double pad = std::max(20.0, 0.15 * (hi - lo));
    const double ylo = std::max(0.0, lo - pad);
    const double yhi = hi + pad;
    script += "set yrange [" + n(ylo) + ":" + n(yhi) + "]\nset xrange [0:" + n(total / 3600.0) + "]\n";
    script += "$flags << EOD\n";
    bool any_flag = false;
    for (int c = 0; c < columns;) {
        if (!flagged[static_cast<std::size_t>(c)]) {
            ++c;
            continue;
        }
        int e = c;
        while (e < columns && flagged[static_cast<std::size_t>(e)]) ++e;
        script += n(c * span / 3600.0) + " " + n(e * span / 3600.0) + "\n";
        any_flag = true;
        c = e;
    }
    script += "EOD\n$rr << EOD\n";
    for (int c = 0; c < columns; ++c) {
        const auto k = static_cast<std::size_t>(c);
        if (low[k] > high[k]) continue;
        const double mid = (c + 0.5) * span / 3600.0;
        script += n(mid) + " " + n(std::clamp(low[k], ylo, yhi)) + " " + n(std::clamp(high[k], ylo, yhi)) + "\n";
    }
    script += "EOD\n";
    if (any_flag)
        script += "set style rect fc rgb '#d62728' fs transparent solid 0.25 noborder\n"
                  "plot $flags using (($1+$2)/2):(" + n((ylo + yhi) / 2) + "):(($2-$1)/2):(" + n((yhi - ylo) / 2) +
                  ") with boxxyerror fc rgb '#d62728' fs transparent solid 0.3 noborder title 'flagged', \\\n"
                  "     $rr using 1:2:3 with filledcurves fc rgb '#1f5fa8' fs solid 0.9 noborder title 'RR interval (lowest to highest per column)'\n";
    else
        script += "plot $rr using 1:2:3 with filledcurves fc rgb '#1f5fa8' fs solid 0.9 noborder title 'RR interval (lowest to highest per column)'\n";
    return script;
}

std::string lambda_script(const Recording& r) {
    std::string script = terminal_line(420);
    script += "set encoding utf8\nset xlabel 'scale (s)'\nset ylabel 'λ'\nset grid\nset key below horizontal\n"
              "set logscale x\nset yrange [0:*]\n";
    double lo = INFINITY, hi = -INFINITY;
    script += "$lambda << EOD\n";
    for (const Result& s : r.scales) {
        if (s.error) continue;
        script += n(s.scale_s) + " " + n(s.lambda) + "\n";
        lo = std::min(lo, s.scale_s);
        hi = std::max(hi, s.scale_s);
    }
    script += "EOD\n$spread << EOD\n";
    bool any_spread = false;
    for (std::size_t k = 0; k < r.spread.size() && k < r.scales.size(); ++k) {
        if (r.scales[k].error || !std::isfinite(r.spread[k].lower)) continue;
        script += n(r.scales[k].scale_s) + " " + n(r.scales[k].lambda) + " " + n(r.spread[k].lower) + " " +
                  n(r.spread[k].upper) + "\n";
        any_spread = true;
    }
    script += "EOD\n$floor << EOD\n";
    bool any_floor = false;
    for (const SurrogateScale& s : r.surrogates) {
        if (s.error || s.surrogate_lambda.empty()) continue;
        const auto [low, high] = central_range(s.surrogate_lambda);
        script += n(s.result.scale_s) + " " + n(s.lambda_floor) + " " + n(low) + " " + n(high) + "\n";
        any_floor = true;
    }
    script += "EOD\n";
    if (!(lo <= hi)) return script + "set label 'no scale could be analysed' at graph 0.5,0.5 center\n" + empty_plot;
    script += "set xrange [" + n(lo / 1.2) + ":" + n(hi * 1.2) + "]\n";
    std::string plot = "plot ";
    if (any_floor)
        plot += "$floor using 1:3:4 with filledcurves fc rgb '#999999' fs transparent solid 0.3 noborder "
                "title 'surrogates, central 95 %', \\\n     $floor using 1:2 with linespoints lw 2 dt 2 pt 6 "
                "lc rgb '#555555' title 'surrogate floor (median)', \\\n     ";
    if (any_spread)
        plot += "$spread using 1:2:3:4 with yerrorbars lw 1.5 pt 7 ps 0 lc rgb '#1f5fa8' "
                "title 'bootstrap, 95 % interval', \\\n     ";
    plot += "$lambda using 1:2 with linespoints lw 2.5 pt 7 ps 1.2 lc rgb '#1f5fa8' title 'λ of the recording'\n";
    return script + plot;
}

std::string density_script(const Recording& r) {
    const std::size_t panels = std::max<std::size_t>(1, r.densities.size());
    std::string script = terminal_line(380);
    script += "set encoding utf8\nset multiplot layout 1," + std::to_string(panels) + "\n"
              "set logscale y\nset format y '10^{%L}'\nset grid\nset key below horizontal font ',10'\n"
              "set xlabel 'increment / SD'\nnormal(x) = exp(-x*x/2) / sqrt(2*pi)\n";
    if (r.densities.empty()) return script + "set label 'no density' at graph 0.5,0.5 center\n" + empty_plot + "unset multiplot\n";
    for (std::size_t k = 0; k < r.densities.size(); ++k) {
        const Result& d = r.densities[k];
        const std::string block = "$d" + std::to_string(k);
        script += block + " << EOD\n";
        double smallest = INFINITY;
        if (!d.error) {
            for (std::size_t i = 0; i < d.bin_centre.size(); ++i) {
                const double e = d.p_exp[i];
                const double m = i < d.p_model.size() ? d.p_model[i] : NAN;
                if (e > 0.0) smallest = std::min(smallest, e);
                script += n(d.bin_centre[i]) + " " + (e > 0.0 ? n(e) : std::string("NaN")) + " " + n(m) + "\n";
            }
        }
        script += "EOD\n";
        script += "set title 'scale " + data_number(d.scale_s) + " s" +
                  (d.error ? std::string(": no result") : ", λ = " + data_number(std::round(d.lambda * 1000) / 1000)) +
                  "'\n";
        script += k == 0 ? "set ylabel 'probability density'\n" : "unset ylabel\n";
        if (d.error || !std::isfinite(smallest)) {
            script += std::string("set label 1 'no density' at graph 0.5,0.5 center\n") + empty_plot +
                      "unset label 1\nset xrange [*:*]\nset yrange [*:*]\nset logscale y\n";
            continue;
        }
        script += "set yrange [" + n(smallest / 3) + ":*]\n";
        script += "plot " + block + " using 1:2 with points pt 7 ps 0.6 lc rgb '#1f5fa8' title 'recording', \\\n     " +
                  block + " using 1:3 with lines lw 2 lc rgb '#d62728' title 'model', \\\n"
                  "     normal(x) with lines lw 1.2 dt 2 lc rgb '#555555' title 'normal'\n";
    }
    return script + "unset multiplot\n";
}

const std::vector<std::string>& group_colours() {
    static const std::vector<std::string> colours = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                                     "#8c564b", "#e377c2", "#17becf", "#bcbd22", "#7f7f7f"};
    return colours;
}

std::string cohort_script(const std::vector<CohortLine>& lines, const std::vector<std::string>& colours) {
    std::string script = terminal_line(480);
    script += "set encoding utf8\nset xlabel 'scale (s)'\nset ylabel 'λ'\nset grid\nunset key\n"
              "set logscale x\nset yrange [0:*]\n";
    double lo = INFINITY, hi = -INFINITY;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        script += "$l" + std::to_string(i) + " << EOD\n";
        for (const auto& [scale, lambda] : lines[i].points) {
            script += n(scale) + " " + n(lambda) + "\n";
            lo = std::min(lo, scale);
            hi = std::max(hi, scale);
        }
        script += "EOD\n";
    }
    if (!(lo <= hi)) return script + "set label 'no numbers' at graph 0.5,0.5 center\n" + empty_plot;
    script += "set xrange [" + n(lo / 1.2) + ":" + n(hi * 1.2) + "]\nplot ";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& colour = colours[static_cast<std::size_t>(lines[i].colour) % colours.size()];
        script += (i == 0 ? "" : ", \\\n     ") + ("$l" + std::to_string(i)) +
                  " using 1:2 with linespoints lw 1.5 pt 7 ps 0.7 lc rgb '" + colour + "' notitle";
    }
    return script + "\n";
}

}  // namespace nongauss::report
