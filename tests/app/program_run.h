// SPDX-License-Identifier: Apache-2.0
// The built program as a child process, for the tests that run it end to end.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct TRun {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
};

// The children's environment: a per-user data folder of their own, so that the
// journal of a test run never lands among the tester's own.
QProcessEnvironment ChildEnvironment();
// That data folder.
QString DataHome();
// Starts the program with `args` in the children's environment.
void StartProgram(QProcess &process, const QStringList &args);
// Runs the program to its end (killed after `timeoutMs`: crashed).
TRun RunProgram(const QStringList &args, int timeoutMs = 60000);
// The same in an environment of the test's own (ChildEnvironment() and more).
TRun RunProgramIn(const QProcessEnvironment &environment, const QStringList &args, int timeoutMs = 60000);
