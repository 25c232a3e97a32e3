// SPDX-License-Identifier: Apache-2.0
#include "publish/outbox.h"

#include "platform/files/atomic_file.h"
#include "platform/files/user_folders.h"
#include "platform/files/whole_file.h"

#include <charconv>

namespace {

constexpr std::string_view kFirstWords = "meter-readout outbox\t";
constexpr std::string_view kOutboxEnding = ".outbox";
constexpr std::string_view kJournalEnding = ".csv";

bool EndsWith(std::string_view text, std::string_view ending)
{
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

// The whole lines of `bytes`, a last one without its line end left out.
std::vector<std::string_view> WholeLines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    for (std::size_t end; (end = bytes.find('\n')) != std::string_view::npos; bytes.remove_prefix(end + 1))
        lines.push_back(bytes.substr(0, end));
    return lines;
}

} // namespace

std::string OutboxPathOf(const std::string &journalPath)
{
    std::string_view stem = journalPath;
    if (EndsWith(stem, kJournalEnding))
        stem.remove_suffix(kJournalEnding.size());
    return std::string(stem) + std::string(kOutboxEnding);
}

std::string AcknowledgedPathOf(const std::string &outboxPath)
{
    std::string_view stem = outboxPath;
    if (EndsWith(stem, kOutboxEnding))
        stem.remove_suffix(kOutboxEnding.size());
    return std::string(stem) + ".acked";
}

std::optional<TOutboxText> ParseOutbox(std::string_view bytes)
{
    const std::vector<std::string_view> lines = WholeLines(bytes);
    if (lines.empty() || lines.front().substr(0, kFirstWords.size()) != kFirstWords)
        return std::nullopt;
    TOutboxText text;
    text.Broker = std::string(lines.front().substr(kFirstWords.size()));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t tab = lines[i].find('\t');
        if (tab == std::string_view::npos)
            return std::nullopt;  // not written by this program: leave it alone
        text.Messages.push_back({std::string(lines[i].substr(0, tab)), std::string(lines[i].substr(tab + 1))});
    }
    return text;
}

std::set<int> ParseAcknowledged(std::string_view bytes)
{
    std::set<int> numbers;
    for (std::string_view line : WholeLines(bytes)) {
        int number = 0;
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), number);
        if (error == std::errc() && end == line.data() + line.size() && number > 0)
            numbers.insert(number);
    }
    return numbers;
}

std::unique_ptr<TOutbox> TOutbox::Create(const std::string &outboxPath, const std::string &broker)
{
    std::unique_ptr<TOutbox> outbox(new TOutbox);
    outbox->FPath = outboxPath;
    outbox->FFile = std::make_unique<TDurableAppendFile>(outboxPath, std::string(kFirstWords) + broker + "\n");
    outbox->FHold = TFileHold::TryTake(outboxPath);
    if (!outbox->FHold) {
        outbox->FFile->Remove();
        throw EFileError(FileErrorText(TFileStep::Create, outboxPath, "Another program holds it"));
    }
    return outbox;
}

std::vector<std::unique_ptr<TOutbox>> TOutbox::LeftIn(const std::string &folder, const std::string &broker)
{
    std::vector<std::unique_ptr<TOutbox>> found;
    // The names begin with the run's start, so their order is the runs' order.
    for (const std::string &name : FileNamesIn(folder)) {
        if (!EndsWith(name, kOutboxEnding))
            continue;
        std::unique_ptr<TOutbox> outbox(new TOutbox);
        outbox->FPath = PathInFolder(folder, name);
        outbox->FHold = TFileHold::TryTake(outbox->FPath);
        if (!outbox->FHold)
            continue;  // a running program's own, or one that cannot be opened
        const std::optional<std::string> bytes = ReadWholeFile(outbox->FPath);
        const std::optional<TOutboxText> text = bytes ? ParseOutbox(*bytes) : std::nullopt;
        if (!text || text->Broker != broker)
            continue;
        const std::optional<std::string> acknowledged = ReadWholeFile(AcknowledgedPathOf(outbox->FPath));
        outbox->FAcknowledgedNumbers = ParseAcknowledged(acknowledged.value_or(std::string()));
        outbox->FCount = static_cast<int>(text->Messages.size());
        for (int number = 1; number <= outbox->FCount; ++number)
            if (!outbox->FAcknowledgedNumbers.count(number))
                outbox->FWaiting.push_back({number, text->Messages[static_cast<std::size_t>(number - 1)]});
        if (outbox->FWaiting.empty()) {
            outbox.reset();  // lets go of the hold first, which Windows needs to delete the file
            RemoveFile(PathInFolder(folder, name));
            RemoveFile(AcknowledgedPathOf(PathInFolder(folder, name)));
            continue;
        }
        found.push_back(std::move(outbox));
    }
    return found;
}

TOutbox::~TOutbox()
{
    // The run's own outbox goes when the broker has every message of it.
    if (FFile && !FRemoved && static_cast<int>(FAcknowledgedNumbers.size()) == FCount) {
        FAcknowledged.reset();
        FHold.reset();
        FFile->Remove();
        RemoveFile(AcknowledgedPathOf(FPath));
    }
}

int TOutbox::Add(const TOutboxMessage &message)
{
    FFile->Append(message.Topic + "\t" + message.Payload + "\n");
    return ++FCount;
}

std::string TOutbox::Acknowledge(int number)
{
    if (FRemoved || !FAcknowledgedNumbers.insert(number).second)
        return {};
    // A left-over outbox is done with once every message of it is acknowledged.
    if (!FFile && static_cast<int>(FAcknowledgedNumbers.size()) == FCount) {
        FAcknowledged.reset();
        FHold.reset();
        FRemoved = true;
        RemoveFile(FPath);
        RemoveFile(AcknowledgedPathOf(FPath));
        return {};
    }
    try {
        if (!FAcknowledged)
            FAcknowledged = std::make_unique<TAppendHandle>(AcknowledgedPathOf(FPath));
        return FAcknowledged->Append(std::to_string(number) + "\n");
    } catch (const EFileError &error) {
        return error.what();
    }
}

const std::vector<TNumberedMessage> &TOutbox::Waiting() const
{
    return FWaiting;
}

const std::string &TOutbox::Path() const
{
    return FPath;
}
