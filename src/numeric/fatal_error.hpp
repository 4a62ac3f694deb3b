#pragma once

namespace nongauss {

/// The one exit for unrecoverable conditions. Writes to standard error
///   "Numerical Recipes run-time error...\n", then `message` followed by "\n",
///   then "...now exiting to system...\n",
/// flushes the standard streams and ends the process with exit status 1.
[[noreturn]] void fatal_error(const char* message);

}  // namespace nongauss
