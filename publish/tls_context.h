// SPDX-License-Identifier: Apache-2.0
// The TLS context of the connection to the broker: whom to trust (the given
// certificate authority, else the roots the operating system trusts), and the
// broker's name checked against its certificate. The reason a certificate is
// refused is kept, in OpenSSL's words, for the operator's message.
#pragma once

#include <memory>
#include <mutex>
#include <string>

struct ssl_ctx_st;  // OpenSSL's SSL_CTX

// Before anything else of OpenSSL: no openssl.cnf (which a folder any user can
// make may hold) changes how certificates are checked.
void InitialiseTls();

class TTlsContext {
public:
    // Throws std::runtime_error with the reason (a CA file that cannot be read).
    TTlsContext(const std::string &host, const std::string &caFile);
    ~TTlsContext();
    TTlsContext(const TTlsContext &) = delete;
    TTlsContext &operator=(const TTlsContext &) = delete;

    ssl_ctx_st *Context() const;
    // Why the last certificate was refused ("hostname mismatch"), once: the
    // text is cleared when taken. Empty when none was refused.
    std::string TakeRefusal();

private:
    struct TState;
    std::unique_ptr<TState> F;
};

// Adds the roots the operating system trusts to the context's store (Windows:
// its ROOT certificate store; elsewhere OpenSSL's default places, where the
// system keeps them). None at all is no failure: every certificate is then
// refused, with OpenSSL's words for why.
void AddSystemRoots(ssl_ctx_st *context);
