#pragma once

namespace nongauss {

/// The library's version, "MAJOR.MINOR.PATCH".
inline constexpr const char* version = "1.0.0";

}  // namespace nongauss
