// SPDX-License-Identifier: Apache-2.0
#include "tests/support/mqtt_broker_posix.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// Runs a tool to its end; throws when it fails.
void Run(const std::vector<std::string> &arguments)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t process = -1;
    const int spawned = posix_spawnp(&process, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(process, &status, 0) != process || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the test's broker set-up failed at: " + arguments.front() + " " + arguments.at(1));
}

// A port nobody listens on now.
int FreePort()
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

bool Accepts(int port)
{
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool accepted = connect(probe, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    close(probe);
    return accepted;
}

// A certificate authority: KEY and CRT in the folder.
void MakeAuthority(const TScratchFolder &folder, const std::string &name)
{
    Run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-days", "2", "-subj", "/CN=" + name, "-keyout", folder.File(name + ".key"), "-out",
         folder.File(name + ".crt")});
}

std::string CurrentUser()
{
    const passwd *entry = getpwuid(getuid());
    return entry != nullptr ? entry->pw_name : "root";
}

} // namespace

TMqttBroker::TMqttBroker() : FFolder("mqtt-broker"), FTlsPort(FreePort()), FPlainPort(FreePort())
{
    MakeAuthority(FFolder, "ca");
    MakeAuthority(FFolder, "other-ca");
    // The server's certificate, for its name and its address.
    WriteFileContents(FFolder.File("server.ext"), std::string("subjectAltName=DNS:") + CertifiedName + ",IP:" +
                                                      Address + "\n");
    Run({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
         std::string("/CN=") + CertifiedName, "-keyout", FFolder.File("server.key"), "-out", FFolder.File("server.csr")});
    Run({"openssl", "x509", "-req", "-in", FFolder.File("server.csr"), "-CA", FFolder.File("ca.crt"), "-CAkey",
         FFolder.File("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", FFolder.File("server.ext"), "-out",
         FFolder.File("server.crt")});
    const std::string passwords = FFolder.File("passwords");
    WriteFileContents(passwords, "");
    Run({"mosquitto_passwd", "-b", passwords, User, Password});
    Run({"mosquitto_passwd", "-b", passwords, Reader, ReaderPassword});
    WriteFileContents(FFolder.File("acl"), std::string("user ") + User + "\ntopic write " + Prefix + "/#\n\nuser " +
                                               Reader + "\ntopic read #\n");
    WriteFileContents(FFolder.File("mosquitto.conf"),
                      // Started by root, mosquitto would become the user
                      // "mosquitto", who may not read the test's files.
                      "user " + CurrentUser() + "\n"
                      "per_listener_settings false\n"
                      "allow_anonymous false\n"
                      "password_file " + passwords + "\n"
                      "acl_file " + FFolder.File("acl") + "\n"
                      // The reading user's session outlives a restart, as a
                      // database's does: nothing published meanwhile is lost to it.
                      "persistence true\n"
                      "persistence_location " + FFolder.Path().string() + "/\n"
                      "log_dest file " + FFolder.File("broker.log") + "\n"
                      "log_type all\n"
                      "listener " + std::to_string(FPlainPort) + " " + Address + "\n"
                      "listener " + std::to_string(FTlsPort) + " " + Address + "\n"
                      "cafile " + FFolder.File("ca.crt") + "\n"
                      "certfile " + FFolder.File("server.crt") + "\n"
                      "keyfile " + FFolder.File("server.key") + "\n");
}

TMqttBroker::~TMqttBroker()
{
    Stop();
}

void TMqttBroker::Start()
{
    if (FProcess > 0)
        return;
    const std::string config = FFolder.File("mosquitto.conf");
    char *argv[] = {const_cast<char *>("mosquitto"), const_cast<char *>("-c"), const_cast<char *>(config.c_str()),
                    nullptr};
    // Its own words go to its log; it warns on standard error when run by root.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    int spawned = posix_spawnp(&FProcess, "mosquitto", &actions, nullptr, argv, environ);
    if (spawned == ENOENT)  // Debian keeps it in /usr/sbin, outside a user's PATH
        spawned = posix_spawn(&FProcess, "/usr/sbin/mosquitto", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("mosquitto cannot be started: is it installed?");
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(Accepts(FPlainPort) && Accepts(FTlsPort))) {
        int status = 0;
        if (waitpid(FProcess, &status, WNOHANG) == FProcess) {
            FProcess = -1;
            throw std::runtime_error("mosquitto ended at once:\n" + Log());
        }
        if (std::chrono::steady_clock::now() > giveUp)
            throw std::runtime_error("mosquitto does not listen within 10 s:\n" + Log());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void TMqttBroker::Stop()
{
    if (FProcess <= 0)
        return;
    kill(FProcess, SIGTERM);
    int status = 0;
    waitpid(FProcess, &status, 0);
    FProcess = -1;
}
