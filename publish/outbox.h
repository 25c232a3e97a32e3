// SPDX-License-Identifier: Apache-2.0
// What the broker has not acknowledged yet, kept beside the journal so that a
// run that ends while the broker is away leaves its readings to the next run
// that publishes to the same broker from the same journal folder:
//   <journal>.outbox  the first line names the broker, then one message a line
//                     ("<topic>\t<JSON>"), each on the disk before the reading
//                     cycle goes on, like the journal's rows;
//   <journal>.acked   the numbers of the messages the broker acknowledged, one
//                     a line (1 is the outbox's first message).
// Both go once every message is acknowledged. A lost acknowledgement (a power
// cut) only sends a message again, which consumers drop by its id.
#pragma once

#include "platform/files/append_handle.h"
#include "platform/files/durable_append_file.h"
#include "platform/files/folder_files.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct TOutboxMessage {
    std::string Topic;
    std::string Payload;
    bool operator==(const TOutboxMessage &) const = default;
};

// A numbered message of an outbox.
struct TNumberedMessage {
    int Number = 0;
    TOutboxMessage Message;
};

// The outbox that belongs to a journal file: its name without ".csv", and the
// two endings.
std::string OutboxPathOf(const std::string &journalPath);
std::string AcknowledgedPathOf(const std::string &outboxPath);

// One outbox, the run's own or one an earlier run left: held against other
// runs while this object lives.
class TOutbox {
public:
    // A new outbox of this run, its first line naming `broker`. Throws
    // EFileError (EFileExists when the name is taken).
    static std::unique_ptr<TOutbox> Create(const std::string &outboxPath, const std::string &broker);
    // The outboxes that earlier runs left in `folder` for `broker` and that no
    // running program holds, oldest first, each with the messages still
    // waiting. Those that wait for nothing are removed on the way.
    static std::vector<std::unique_ptr<TOutbox>> LeftIn(const std::string &folder, const std::string &broker);

    ~TOutbox();
    TOutbox(const TOutbox &) = delete;
    TOutbox &operator=(const TOutbox &) = delete;

    // Adds a message, on the disk when this returns, and gives its number.
    // Throws EFileError. Only for an outbox made by Create.
    int Add(const TOutboxMessage &message);
    // Records that the broker acknowledged message `number`; an outbox whose
    // every message is acknowledged removes its files. Empty on success, else
    // the system's words.
    std::string Acknowledge(int number);
    // The messages still waiting when the outbox was read, in order (left-over outboxes).
    const std::vector<TNumberedMessage> &Waiting() const;
    const std::string &Path() const;

private:
    TOutbox() = default;
    std::string FPath;
    std::unique_ptr<TDurableAppendFile> FFile;      // the run's own: where new messages go
    std::optional<TFileHold> FHold;                 // keeps other runs off this outbox
    std::unique_ptr<TAppendHandle> FAcknowledged;
    int FCount = 0;                                 // messages in the outbox
    std::set<int> FAcknowledgedNumbers;
    std::vector<TNumberedMessage> FWaiting;
    bool FRemoved = false;
};

// The outbox's text as read back: the broker it names and its messages, a last
// line without its end (cut short by a crash) left out; nothing when it is no
// outbox.
struct TOutboxText {
    std::string Broker;
    std::vector<TOutboxMessage> Messages;
};
std::optional<TOutboxText> ParseOutbox(std::string_view bytes);
// The message numbers in an .acked file's text; a line that is not a number is skipped.
std::set<int> ParseAcknowledged(std::string_view bytes);
