// SPDX-License-Identifier: Apache-2.0
// A real mosquitto broker for the tests, on 127.0.0.1: a TLS listener with a
// certificate authority and server certificate made for the test, a password
// file, no anonymous clients, and an access list that lets the publishing
// user write only under its prefix and the reading user read everything. It
// can be stopped and started again on the same ports.
#pragma once

#include "tests/support/scratch_folder.h"

#include <string>
#include <sys/types.h>

class TMqttBroker {
public:
    static constexpr const char *Prefix = "lab";
    static constexpr const char *User = "meter";
    static constexpr const char *Password = "grain-7";
    static constexpr const char *Reader = "reader";
    static constexpr const char *ReaderPassword = "quality-3";
    // The name and the address the server certificate is made for; the
    // broker listens on the address.
    static constexpr const char *CertifiedName = "broker.test";
    static constexpr const char *Address = "127.0.0.1";

    // Made, not started.
    TMqttBroker();
    ~TMqttBroker();
    TMqttBroker(const TMqttBroker &) = delete;
    TMqttBroker &operator=(const TMqttBroker &) = delete;

    // Starts the broker and waits until both listeners take connections.
    void Start();
    void Stop();

    int TlsPort() const { return FTlsPort; }
    int PlainPort() const { return FPlainPort; }
    // The certificate authority that signed the server's certificate.
    std::string CaFile() const { return FFolder.File("ca.crt"); }
    // Another authority, which signed nothing the broker has.
    std::string OtherCaFile() const { return FFolder.File("other-ca.crt"); }
    // What the broker wrote to its log, for a failing test's message.
    std::string Log() const { return FileContents(FFolder.File("broker.log")); }

private:
    TScratchFolder FFolder;
    int FTlsPort = 0;
    int FPlainPort = 0;
    pid_t FProcess = -1;
};
