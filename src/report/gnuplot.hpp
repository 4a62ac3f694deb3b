#pragma once

// Figures drawn by gnuplot's svg terminal, returned as SVG text to be put
// inline in a page.
//
// What reaches gnuplot: a script made here, from this program's own text and
// numbers it formats itself (the data as in-line data blocks, no names,
// labels or fields of any input). gnuplot reads it on its standard input and
// writes the picture to its standard output; it is given no file name, no
// argument but --default-settings (no initialisation file is read) and no
// file to write, so nothing of the input can become gnuplot code or a
// gnuplot output.

#include <string>

namespace nongauss::report {

/// The result of one gnuplot run.
struct Figure {
    std::string svg;    ///< the <svg> element (no XML declaration), ready to stand in HTML
    std::string error;  ///< empty on success; else why there is no figure
};

/// Runs `gnuplot` (found on the PATH) on `script` and returns its SVG with
/// every id made unique in a page by `id_prefix` (letters and digits).
/// A gnuplot that cannot be started, fails or writes no <svg> gives an error.
Figure run_gnuplot(const std::string& script, const std::string& id_prefix);

/// A number as gnuplot data: the shortest text that reads back as the same
/// double; "NaN" for one that is not finite.
std::string data_number(double value);

}  // namespace nongauss::report
