#pragma once

// The one way the numerical stages give up: an nongauss::Error of kind fatal
// carrying the message. The command-line faces turn it into the report
// "Run-time error...\n" MESSAGE "\n...now exiting to system...\n" and status 1.

#include "nongauss/error.hpp"

namespace nongauss {

/// Throws Error(ErrorKind::fatal, message).
[[noreturn]] void fatal_error(const char* message);

}  // namespace nongauss
