// SPDX-License-Identifier: Apache-2.0
#include "tests/app/program_run.h"

#include <QTemporaryDir>

QProcessEnvironment ChildEnvironment()
{
    static QTemporaryDir dataHome;
    static QTemporaryDir runtime;  // Qt warns on standard error without one
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dataHome.path());
    environment.insert("LOCALAPPDATA", dataHome.path());
    if (!environment.contains("XDG_RUNTIME_DIR"))
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
    return environment;
}

QString DataHome()
{
    return ChildEnvironment().value("XDG_DATA_HOME");
}

void StartProgram(QProcess &process, const QStringList &args)
{
    process.setProcessEnvironment(ChildEnvironment());
    process.start(QStringLiteral(READOUT_PROGRAM_PATH), args);
}

TRun RunProgram(const QStringList &args, int timeoutMs)
{
    return RunProgramIn(ChildEnvironment(), args, timeoutMs);
}

TRun RunProgramIn(const QProcessEnvironment &environment, const QStringList &args, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(READOUT_PROGRAM_PATH), args);
    TRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.crashed = true;
    }
    run.crashed = run.crashed || process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
