// SPDX-License-Identifier: Apache-2.0
#include "app/publish_option.h"

#include "platform/files/atomic_file.h"
#include "platform/files/file_facts.h"
#include "platform/files/whole_file.h"

#include <cstdlib>

namespace {

// A password file is a line or two, never a device that would not end.
constexpr std::uint64_t kLongestPasswordFile = 4096;

std::string PasswordFromFile(const std::string &path)
{
    const TFileFacts facts = FileFactsOf(path);
    std::optional<std::string> bytes;
    if (facts.Kind == TFileKind::Regular && facts.Size <= kLongestPasswordFile)
        bytes = ReadWholeFile(path);
    if (!bytes)
        throw ECommandLineError("--publish-password-file " + path + ": cannot be read");
    std::string password = bytes->substr(0, bytes->find_first_of("\r\n"));
    if (password.empty())
        throw ECommandLineError("--publish-password-file " + path + ": the first line is empty");
    return password;
}

} // namespace

std::optional<TPublishOptions> PublishOptionsOf(const TCommandLine &line)
{
    if (!line.Publish)
        return std::nullopt;
    TPublishOptions options;
    options.Broker = *line.Publish;
    options.User = line.PublishUser;
    options.CaFile = line.PublishCa;
    if (!line.PublishPasswordFile.empty()) {
        options.Password = PasswordFromFile(line.PublishPasswordFile);
    } else if (const char *password = std::getenv(PasswordVariable); password != nullptr && !line.PublishUser.empty()) {
        options.Password = password;
    }
    const TJournalOptions journal = JournalOptionsOf(line);
    if (journal.Enabled) {
        try {
            options.OutboxFolder = journal.Folder.empty() ? DefaultJournalFolder() : journal.Folder;
        } catch (const EFileError &) {
            // No data folder: the journal says so at its first row; the
            // readings wait in memory.
        }
    }
    return options;
}
