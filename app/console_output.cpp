// SPDX-License-Identifier: Apache-2.0
#include "app/console_output.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>

#include <string>
#endif

namespace {

#if defined(_WIN32)
// The console behind `stream`, or null when it writes to a file or a pipe.
HANDLE ConsoleOf(std::FILE *stream)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_CHAR || !GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

std::wstring Wide(std::string_view bytes, UINT codePage)
{
    if (bytes.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
    return wide;
}
#endif

} // namespace

void WriteOutput(std::FILE *stream, std::string_view bytes, TTextEncoding encoding)
{
#if defined(_WIN32)
    if (const HANDLE console = ConsoleOf(stream)) {
        std::fflush(stream);
        const std::wstring wide = Wide(bytes, encoding == TTextEncoding::Ansi ? CP_ACP : CP_UTF8);
        std::wstring_view rest(wide);
        while (!rest.empty()) {
            DWORD written = 0;
            if (!WriteConsoleW(console, rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr) || written == 0)
                return;  // the console is gone; the run goes on and ends in order
            rest.remove_prefix(written);
        }
        return;
    }
#else
    (void)encoding;
#endif
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

void UseParentConsole()
{
#if defined(_WIN32)
    // A console program (the launcher) has its console already; so has a program
    // whose output a caller redirected.
    if (GetConsoleWindow() != nullptr)
        return;
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}
