// SPDX-License-Identifier: Apache-2.0
#include "platform/text/system_error_text_win32.h"
#include "platform/text/wide_text_win32.h"

#include <memory>

#include <windows.h>

namespace {

struct TLocalFree {
    void operator()(wchar_t *text) const { LocalFree(text); }
};

} // namespace

std::string SystemErrorText(unsigned long error, unsigned short language)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, language, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, TLocalFree> text(buffer);
    if (length == 0 || !text)
        return "Error " + std::to_string(error);
    // The system's texts end in CR LF, which would break the line they are put in.
    std::wstring_view message(text.get(), length);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.remove_suffix(1);
    return Utf8FromWide(message);
}
