// SPDX-License-Identifier: Apache-2.0
#include "publish/tls_context.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <windows.h>
#include <wincrypt.h>

void AddSystemRoots(ssl_ctx_st *context)
{
    // OpenSSL knows no Windows certificate store: each root the system trusts
    // is handed to it, so a broker certified by a company's own authority
    // that IT put into the store is trusted as every Windows program trusts it.
    const HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
    if (store == nullptr)
        return;
    X509_STORE *roots = SSL_CTX_get_cert_store(context);
    for (PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(store, nullptr); certificate != nullptr;
         certificate = CertEnumCertificatesInStore(store, certificate)) {
        const unsigned char *bytes = certificate->pbCertEncoded;
        X509 *x509 = d2i_X509(nullptr, &bytes, static_cast<long>(certificate->cbCertEncoded));
        if (x509 == nullptr)
            continue;
        X509_STORE_add_cert(roots, x509);  // a root already there is no matter
        X509_free(x509);
    }
    CertCloseStore(store, 0);
}
