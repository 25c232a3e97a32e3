// SPDX-License-Identifier: Apache-2.0
// Why a connection to the broker failed, in the system's or the library's
// words, and whether waiting alone can mend it.
#pragma once

#include <string>

struct TConnectionFailure {
    std::string Cause;
    // A refused password, a certificate that does not verify, an unknown
    // host: a person has to act, so the operator hears of it.
    bool NeedsPerson = false;
};

// The broker refused the connection with reason code `code` (0x80 and above).
TConnectionFailure RefusalFailure(int code);
// The broker acknowledged a reading without taking it, with reason code `code`
// (its access list does not let the user publish there).
TConnectionFailure DeclinedFailure(int code);
// OpenSSL refused the broker's certificate ("hostname mismatch").
TConnectionFailure CertificateFailure(const std::string &reason);
// The MQTT library's result `result` (MOSQ_ERR_...), with its last error line.
// For a failure of the system (the network, a name look-up) the words are the
// system's, taken from errno, which the library sets.
TConnectionFailure LibraryFailure(int result, const std::string &lastLogError);

// The system's words for the error number that the library left in errno
// after a failed network call (MOSQ_ERR_ERRNO), or after a failed name
// look-up (MOSQ_ERR_EAI).
std::string NetworkErrorText(int error);
// Whether the socket's connection attempt has ended without a connection (the
// connection refused, the network unreachable). The library, which set the
// socket going, does not notice that until its own wait runs out.
bool ConnectFailed(int socket);
std::string LookupErrorText(int error);
