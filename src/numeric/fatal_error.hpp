#pragma once

namespace nongauss {

/// The one exit for unrecoverable conditions. Writes to standard error
///   "Run-time error...\n", then `message` followed by "\n",
///   then "...now exiting to system...\n",
/// flushes the standard streams and ends the process with exit status 1.
[[noreturn]] void fatal_error(const char* message);

#ifdef NONGAUSS_FUZZING
/// Fuzzing builds only (never defined in the tool): a harness that must
/// survive the legitimate ends of a run installs a hook that leaves by an
/// exception. fatal_error writes its report and then calls the hook; should
/// the hook return, the process ends as usual. nullptr removes the hook.
using FatalErrorHook = void (*)(const char* message);
void set_fatal_error_hook(FatalErrorHook hook);
#endif

}  // namespace nongauss
