// SPDX-License-Identifier: Apache-2.0
#include "private_bus_bluez.h"

#include "tests/support/wait_until.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using namespace std::chrono_literals;

// The mock's method record: name, in and out signatures, Python code.
struct TMockMethod {
    QString Name, InSignature, OutSignature, Code;
};

QDBusArgument &operator<<(QDBusArgument &argument, const TMockMethod &method)
{
    argument.beginStructure();
    argument << method.Name << method.InSignature << method.OutSignature << method.Code;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TMockMethod &method)
{
    argument.beginStructure();
    argument >> method.Name >> method.InSignature >> method.OutSignature >> method.Code;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(TMockMethod)

namespace {

const QString Bluez = QStringLiteral("org.bluez");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString BluezMockInterface = QStringLiteral("org.bluez.Mock");

const char *const BusConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=@FOLDER@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

bool RunsQuietly(const std::string &command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

QString ErrorText(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {};
    return reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
}

std::string ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

// --- TChildProcess ---------------------------------------------------------

TChildProcess::~TChildProcess()
{
    Stop();
}

bool TChildProcess::Start(const std::vector<std::string> &arguments, const std::vector<std::string> &environment,
                          int outputFd, int errorFd)
{
    std::vector<char *> argv;
    for (const auto &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const auto &variable : environment)
        envp.push_back(const_cast<char *>(variable.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    const int result = posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        FPid = -1;
    return result == 0;
}

void TChildProcess::Stop()
{
    if (FPid <= 0)
        return;
    ::kill(FPid, SIGTERM);
    if (!WaitUntil([this] { return ::waitpid(FPid, nullptr, WNOHANG) != 0; }, 5s)) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
    FPid = -1;
}

// --- TPrivateBus -----------------------------------------------------------

bool CanRunBusTests(std::string &why)
{
    if (!RunsQuietly("command -v dbus-daemon")) {
        why = "dbus-daemon is not installed";
        return false;
    }
    if (!RunsQuietly("/usr/bin/python3 -c 'import dbusmock'")) {
        why = "python3-dbusmock is not installed for /usr/bin/python3";
        return false;
    }
    return true;
}

TPrivateBus::~TPrivateBus()
{
    FControl.reset();
    if (!FControlName.isEmpty())
        QDBusConnection::disconnectFromBus(FControlName);
    FBluez.Stop();
    FDaemon.Stop();
}

std::vector<std::string> TPrivateBus::ChildEnvironment() const
{
    std::vector<std::string> environment;
    for (char **variable = environ; *variable != nullptr; ++variable) {
        const std::string text = *variable;
        if (text.rfind("DBUS_", 0) != 0)
            environment.push_back(text);
    }
    environment.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + FAddress.toStdString());
    return environment;
}

bool TPrivateBus::Start(std::string &error)
{
    const auto config = FFolder.Path() / "bus.conf";
    {
        std::string text = BusConfig;
        text.replace(text.find("@FOLDER@"), 8, FFolder.Path().string());
        std::ofstream(config) << text;
    }
    const auto logPath = FFolder.Path() / "bus.log";
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int pipe[2];
    if (log < 0 || ::pipe2(pipe, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        if (log >= 0)
            ::close(log);
        return false;
    }
    // Its messages go to a file: a closed pipe would end it at its next one.
    const bool started = FDaemon.Start({"/usr/bin/dbus-daemon", "--nofork", "--print-address=1",
                                        "--config-file=" + config.string()},
                                       ChildEnvironment(), pipe[1], log);
    ::close(pipe[1]);
    ::close(log);
    std::string address;
    if (started) {
        // The daemon prints its address once it listens.
        pollfd wait{pipe[0], POLLIN, 0};
        char c = 0;
        while (::poll(&wait, 1, 20000) > 0 && ::read(pipe[0], &c, 1) == 1 && c != '\n')
            address += c;
    }
    ::close(pipe[0]);
    if (address.empty()) {
        error = "dbus-daemon did not start; its output:\n" + ReadFile(logPath);
        return false;
    }
    FAddress = QString::fromStdString(address);

    static std::atomic<unsigned> count{0};
    FControlName = QStringLiteral("bluez-test-control-%1").arg(++count);
    FControl = QDBusConnection::connectToBus(FAddress, FControlName);
    if (!FControl->isConnected()) {
        error = "cannot connect to the private bus " + FAddress.toStdString() + ": " +
                FControl->lastError().message().toStdString();
        return false;
    }
    return true;
}

bool TPrivateBus::StartBluez(std::string &error)
{
    const auto logPath = FFolder.Path() / "bluez-mock.log";
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (log < 0) {
        error = "cannot make the mock's log file";
        return false;
    }
    const bool started = FBluez.Start({"/usr/bin/python3", "-m", "dbusmock", "--system", "--template", "bluez5"},
                                      ChildEnvironment(), log, log);
    ::close(log);
    if (!started) {
        error = "cannot start the D-Bus mock";
        return false;
    }
    // Python takes a while to start on a busy machine.
    if (!WaitUntil([this] { return FControl->interface()->isServiceRegistered(Bluez).value(); }, 30s)) {
        error = "the mock BlueZ did not appear on the bus; its output:\n" + ReadFile(logPath);
        return false;
    }
    return true;
}

QDBusMessage TPrivateBus::Call(const QString &path, const QString &interface, const QString &method,
                               const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Bluez, path, interface, method);
    call.setArguments(arguments);
    return FControl->call(call, QDBus::Block, 20000);
}

QString TPrivateBus::AddAdapter(const QString &name)
{
    return ErrorText(Call(QStringLiteral("/org/bluez"), BluezMockInterface, QStringLiteral("AddAdapter"),
                          {name, QStringLiteral("laboratory")}));
}

QString TPrivateBus::AddDevice(const QString &adapter, const QString &address, const QString &name)
{
    return ErrorText(Call(QStringLiteral("/org/bluez"), BluezMockInterface, QStringLiteral("AddDevice"),
                          {adapter, address, name}));
}

QString TPrivateBus::PairDevice(const QString &adapter, const QString &address)
{
    return ErrorText(Call(QStringLiteral("/org/bluez"), BluezMockInterface, QStringLiteral("PairDevice"),
                          {adapter, address, 0}));
}

QString TPrivateBus::AddNamelessDevice(const QString &adapter, const QString &address)
{
    qDBusRegisterMetaType<TMockMethod>();
    qDBusRegisterMetaType<QList<TMockMethod>>();
    const QString adapterPath = QStringLiteral("/org/bluez/") + adapter;
    const QString path = adapterPath + QStringLiteral("/dev_") + QString(address).replace(u':', u'_').toUpper();
    const QVariantMap properties{
        {QStringLiteral("Address"), address},
        {QStringLiteral("Adapter"), QVariant::fromValue(QDBusObjectPath(adapterPath))},
        {QStringLiteral("Paired"), false},
        {QStringLiteral("Trusted"), false},
        {QStringLiteral("Connected"), false},
    };
    return ErrorText(Call(QStringLiteral("/"), MockInterface, QStringLiteral("AddObject"),
                          {path, QStringLiteral("org.bluez.Device1"), properties,
                           QVariant::fromValue(QList<TMockMethod>{})}));
}

QString TPrivateBus::MakeSlow(const QString &path, const QString &interface, const QString &method,
                              const QString &outSignature, const QString &answer, std::chrono::seconds delay)
{
    QString code = QStringLiteral("time.sleep(%1)").arg(delay.count());
    if (!answer.isEmpty())
        code += QStringLiteral("; ret = ") + answer;
    return ErrorText(Call(path, MockInterface, QStringLiteral("AddMethod"),
                          {interface, method, QString(), outSignature, code}));
}

QVariant TPrivateBus::Property(const QString &path, const QString &interface, const QString &name)
{
    const QDBusMessage reply =
        Call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
}

QString TPrivateBus::SetProperty(const QString &path, const QString &interface, const QString &name,
                                 const QVariant &value)
{
    return ErrorText(Call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                          {interface, name, QVariant::fromValue(QDBusVariant(value))}));
}

int TPrivateBus::CallCount(const QString &path, const QString &method)
{
    const QDBusMessage reply = Call(path, MockInterface, QStringLiteral("GetMethodCalls"), {method});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return -1;
    // a(tav): one (time, arguments) record per call.
    const QDBusArgument calls = qvariant_cast<QDBusArgument>(reply.arguments().constFirst());
    int count = 0;
    calls.beginArray();
    while (!calls.atEnd()) {
        qulonglong time = 0;
        QVariantList arguments;
        calls.beginStructure();
        calls >> time >> arguments;
        calls.endStructure();
        ++count;
    }
    calls.endArray();
    return count;
}
