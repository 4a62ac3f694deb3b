#pragma once

// printf-style formatting into a string, for the transcript and the messages:
// the bytes are exactly those std::printf would write.

#include <string>

namespace nongauss {

std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace nongauss
