#include "server/WinHttpClient.hpp"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

using server::HttpError;

namespace {

// Codes as Windows documents them (WINHTTP_ERROR_BASE is 12000), written out so that a wrong
// constant in the client's table shows here.
struct CodeCase {
    std::uint32_t code;
    HttpError error;
    bool named; // the reason is WinHTTP's, not the bare number
};

class WinHttpErrors : public testing::TestWithParam<CodeCase> {};

TEST_P(WinHttpErrors, BecomeTheClientsErrorKinds) {
    const auto f = server::translateWinHttpError(GetParam().code);
    EXPECT_EQ(f.error, GetParam().error) << GetParam().code;
    EXPECT_EQ(!f.reason.empty(), GetParam().named) << GetParam().code;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, WinHttpErrors,
    testing::Values(CodeCase{12029, HttpError::Connect, true},    // CANNOT_CONNECT
                    CodeCase{12007, HttpError::Resolve, true},    // NAME_NOT_RESOLVED
                    CodeCase{12175, HttpError::Tls, true},        // SECURE_FAILURE
                    CodeCase{12157, HttpError::Tls, true},        // SECURE_CHANNEL_ERROR
                    CodeCase{12045, HttpError::Tls, true},        // SECURE_INVALID_CA
                    CodeCase{12038, HttpError::Tls, true},        // SECURE_CERT_CN_INVALID
                    CodeCase{12037, HttpError::Tls, true},        // SECURE_CERT_DATE_INVALID
                    CodeCase{12169, HttpError::Tls, true},        // SECURE_INVALID_CERT
                    CodeCase{12170, HttpError::Tls, true},        // SECURE_CERT_REVOKED
                    CodeCase{12057, HttpError::Tls, true},        // SECURE_CERT_REV_FAILED
                    CodeCase{12179, HttpError::Tls, true},        // SECURE_CERT_WRONG_USAGE
                    CodeCase{12044, HttpError::Tls, true},        // CLIENT_AUTH_CERT_NEEDED
                    CodeCase{12002, HttpError::Timeout, true},    // TIMEOUT
                    CodeCase{12017, HttpError::Cancelled, true},  // OPERATION_CANCELLED
                    CodeCase{12005, HttpError::InvalidUrl, true}, // INVALID_URL
                    CodeCase{12006, HttpError::InvalidUrl, true}, // UNRECOGNIZED_SCHEME
                    CodeCase{12030, HttpError::Io, true},         // CONNECTION_ERROR
                    CodeCase{12152, HttpError::Io, true},         // INVALID_SERVER_RESPONSE
                    CodeCase{12156, HttpError::Io, true},         // REDIRECT_FAILED
                    CodeCase{8, HttpError::Io, true},             // ERROR_NOT_ENOUGH_MEMORY
                    CodeCase{12004, HttpError::Io, false},        // INTERNAL_ERROR
                    CodeCase{0, HttpError::Io, false}, CodeCase{0xFFFFFFFFU, HttpError::Io, false}),
    [](const auto& info) { return std::to_string(info.param.code); });

} // namespace
