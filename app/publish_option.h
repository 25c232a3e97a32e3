// SPDX-License-Identifier: Apache-2.0
// The publishing that the command line asks for, with the broker's password
// taken from where it may come from: never the command line, which other users
// of the computer can read.
#pragma once

#include "app/command_line.h"
#include "publish/publisher.h"

#include <optional>

// None without --publish. The password is the first line of
// --publish-password-file, else the environment variable READOUT_MQTT_PASSWORD.
// The outboxes go into the journal's folder; with --no-journal they are kept
// in memory only. Throws ECommandLineError for a password file that cannot be read.
std::optional<TPublishOptions> PublishOptionsOf(const TCommandLine &line);

// The environment variable that holds the broker's password.
inline constexpr const char *PasswordVariable = "READOUT_MQTT_PASSWORD";
