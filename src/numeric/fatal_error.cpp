#include "numeric/fatal_error.hpp"

namespace nongauss {

void fatal_error(const char* message) { throw Error(ErrorKind::fatal, message); }

}  // namespace nongauss
