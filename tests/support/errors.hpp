#pragma once

// What a call throws: the library reports every condition that ends a run as
// an nongauss::Error.

#include <gtest/gtest.h>

#include <string>

#include "nongauss/error.hpp"

namespace nongauss::testing {

/// The message of the Error `call` throws, checked to be of `kind`; "" (and a
/// test failure) when it returns.
template <typename Call>
std::string thrown_message(const Call& call, ErrorKind kind = ErrorKind::fatal) {
    try {
        call();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), kind) << e.message();
        return e.message();
    }
    ADD_FAILURE() << "no error thrown";
    return "";
}

}  // namespace nongauss::testing
