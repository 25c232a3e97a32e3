// SPDX-License-Identifier: Apache-2.0
#include "publish/tls_context.h"

#include <openssl/ssl.h>

void AddSystemRoots(ssl_ctx_st *context)
{
    // Debian's OpenSSL looks where ca-certificates keeps the system's roots.
    SSL_CTX_set_default_verify_paths(context);
}
