#pragma once

// The one error type of the library. Nothing in the library ends the process
// or writes to a stream: every condition the command-line tool reports and
// ends on comes back as an nongauss::Error carrying the tool's exact message.

#include <stdexcept>
#include <string>

namespace nongauss {

/// How the command-line tool reports an error of this kind.
enum class ErrorKind {
    /// Unusable input, reported as a plain line: "File %s not found!",
    /// "Error while reading input file %s!", "No data was read!",
    /// "Invalid RR interval at row %d: %g (...)". The tool writes
    /// message() + "\n" to standard error and ends with status 1.
    input,
    /// A condition met inside the numerical stages: "The data length is not
    /// enough!\n", "The data length is too long!\n", "allocation failure in
    /// vector()", "no convergence in 30 svdcmp iterations", "The coarse-grained
    /// series is out of range!", ... The tool writes the three-part report
    /// "Run-time error...\n" + message() + "\n...now exiting to system...\n"
    /// to standard error and ends with status 1.
    fatal,
};

class Error : public std::runtime_error {
public:
    Error(ErrorKind kind, std::string message, std::string hint = {})
        : std::runtime_error(message), kind_(kind), message_(std::move(message)), hint_(std::move(hint)) {}

    ErrorKind kind() const noexcept { return kind_; }

    /// The message exactly as the tool passes it on: no "Run-time error..."
    /// framing; an input error has no final newline; a fatal message keeps a
    /// newline of its own where the tool's has one (e.g. "The data length is
    /// not enough!\n"). Same text as what().
    const std::string& message() const noexcept { return message_; }

    /// What the user may do about it, one line without a newline, or empty:
    /// set when reading a file stopped at text on its first or second row (a
    /// header line, a table export) or its lines are a table of times and
    /// intervals. The tool writes it after report().
    const std::string& hint() const noexcept { return hint_; }

    /// The exact bytes the tool writes to standard error for this error (see
    /// ErrorKind).
    std::string report() const {
        if (kind_ == ErrorKind::input) return message_ + "\n";
        return "Run-time error...\n" + message_ + "\n...now exiting to system...\n";
    }

private:
    ErrorKind kind_;
    std::string message_;
    std::string hint_;
};

}  // namespace nongauss
