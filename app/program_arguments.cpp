// SPDX-License-Identifier: Apache-2.0
#include "app/program_arguments.h"

#include "app/command_line.h"

#include <QtGlobal>

#if defined(Q_OS_WIN)
#include "platform/text/wide_text_win32.h"

#include <windows.h>
#endif

std::vector<std::string> ProgramArguments(int argc, char **argv)
{
#if defined(Q_OS_WIN)
    (void)argc;
    (void)argv;
    return SplitCommandLine(Utf8FromWide(GetCommandLineW())).Arguments;
#else
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
}
