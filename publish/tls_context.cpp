// SPDX-License-Identifier: Apache-2.0
#include "publish/tls_context.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <stdexcept>
#include <utility>

namespace {

int g_stateIndex = -1;

std::string OpenSslErrors()
{
    std::string text;
    while (const unsigned long error = ERR_get_error()) {
        char buffer[256];
        ERR_error_string_n(error, buffer, sizeof buffer);
        if (!text.empty())
            text += "; ";
        text += buffer;
    }
    return text;
}

} // namespace

void InitialiseTls()
{
    OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
    OPENSSL_init_ssl(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr);
    static std::once_flag indexMade;
    std::call_once(indexMade, [] { g_stateIndex = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr); });
}

struct TTlsContext::TState {
    SSL_CTX *Context = nullptr;
    std::mutex Lock;
    std::string Refusal;
    ~TState() { SSL_CTX_free(Context); }

    // OpenSSL's own verdict stands; a refusal is only written down.
    static int Verify(int ok, X509_STORE_CTX *store)
    {
        if (ok)
            return ok;
        SSL *ssl = static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        auto *state = static_cast<TState *>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), g_stateIndex));
        if (state != nullptr) {
            const std::lock_guard<std::mutex> hold(state->Lock);
            state->Refusal = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
        }
        return ok;
    }
};

TTlsContext::TTlsContext(const std::string &host, const std::string &caFile) : F(std::make_unique<TState>())
{
    InitialiseTls();
    F->Context = SSL_CTX_new(TLS_client_method());
    if (F->Context == nullptr)
        throw std::runtime_error("no TLS context: " + OpenSslErrors());
    SSL_CTX_set_min_proto_version(F->Context, TLS1_2_VERSION);
    SSL_CTX_set_ex_data(F->Context, g_stateIndex, F.get());
    if (!caFile.empty()) {
        if (SSL_CTX_load_verify_locations(F->Context, caFile.c_str(), nullptr) != 1)
            throw std::runtime_error("--publish-ca '" + caFile + "': " + OpenSslErrors());
    } else {
        AddSystemRoots(F->Context);
    }
    // The broker's name (or address) must be the one its certificate names.
    X509_VERIFY_PARAM *parameters = SSL_CTX_get0_param(F->Context);
    X509_VERIFY_PARAM_set_hostflags(parameters, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const bool address = X509_VERIFY_PARAM_set1_ip_asc(parameters, host.c_str()) == 1;
    if (!address && X509_VERIFY_PARAM_set1_host(parameters, host.c_str(), host.size()) != 1)
        throw std::runtime_error("'" + host + "' cannot be checked against a certificate: " + OpenSslErrors());
    SSL_CTX_set_verify(F->Context, SSL_VERIFY_PEER, &TState::Verify);
}

TTlsContext::~TTlsContext() = default;

ssl_ctx_st *TTlsContext::Context() const
{
    return F->Context;
}

std::string TTlsContext::TakeRefusal()
{
    const std::lock_guard<std::mutex> hold(F->Lock);
    return std::exchange(F->Refusal, std::string());
}
