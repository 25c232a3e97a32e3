#include "app/program_arguments.h"

#include "app/command_line.h"

#include <QtGlobal>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

std::vector<std::string> ProgramArguments(int argc, char **argv)
{
#if defined(Q_OS_WIN)
    (void)argc;
    (void)argv;
    const wchar_t *wide = GetCommandLineW();
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<std::size_t>(size - 1) : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
    std::vector<std::string> args = SplitCommandLine(utf8);
    if (!args.empty())
        args.erase(args.begin());  // the program's own name
    return args;
#else
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
}
