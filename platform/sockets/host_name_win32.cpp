// SPDX-License-Identifier: Apache-2.0
#include "platform/sockets/host_name.h"
#include "platform/text/wide_text_win32.h"

#include <windows.h>

std::string HostName()
{
    // The DNS host name, not the NetBIOS name, which is cut to 15 capitals.
    wchar_t name[256] = {};
    DWORD length = static_cast<DWORD>(std::size(name));
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &length) || length == 0)
        return "localhost";
    return Utf8FromWide(std::wstring_view(name, length));
}
