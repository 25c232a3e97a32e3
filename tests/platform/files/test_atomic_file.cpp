// SPDX-License-Identifier: Apache-2.0
#include "platform/files/atomic_file.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <climits>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

void SaveAtomically(const std::string &target, const std::string &bytes)
{
    TAtomicFile file;
    file.Open(target);
    file.Write(bytes);
    file.Commit();
}

// Runs action, expects an EFileError for the step on target and returns its text.
std::string FailureText(const std::function<void()> &action, TFileStep step, const std::string &target)
{
    try {
        action();
    } catch (const EFileError &error) {
        const std::string text = error.what();
        const std::string prefix = std::string(step == TFileStep::Create ? "Cannot create file \"" : "Cannot write file \"") +
                                   target + "\". ";
        EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
        EXPECT_GT(text.size(), prefix.size()) << "the platform's cause is missing: " << text;
        EXPECT_NE(text.back(), '.') << "the error box adds the full stop: " << text;
        return text;
    }
    ADD_FAILURE() << "no EFileError for " << target;
    return {};
}

} // namespace

TEST(AtomicFile, ReplacesOrCreatesTheTargetAndLeavesNoTemporaryFile)
{
    for (const bool targetExists : {false, true}) {
        SCOPED_TRACE(targetExists ? "existing target" : "new target");
        TScratchFolder folder("atomic-file-test");
        const std::string target = folder.File("readings.csv");
        if (targetExists)
            WriteFile(target, "old contents that are longer than the new ones\r\n");

        SaveAtomically(target, "new\r\n");

        EXPECT_EQ(FileContents(target), "new\r\n");
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"readings.csv"});
    }
}

TEST(AtomicFile, TargetStaysUntouchedUntilCommit)
{
    TScratchFolder folder("atomic-file-test");
    const std::string target = folder.File("readings.csv");
    WriteFile(target, "old\r\n");
    {
        TAtomicFile file;
        file.Open(target);
        file.Write("half of a new file");
        EXPECT_EQ(FileContents(target), "old\r\n");
        EXPECT_FALSE(file.TemporaryPath().empty());
        EXPECT_TRUE(fs::exists(file.TemporaryPath()));
        // Dropped without Commit, as when the writer throws halfway.
    }
    EXPECT_EQ(FileContents(target), "old\r\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"readings.csv"});
}

TEST(AtomicFile, TargetThatCannotBeReplacedFailsBeforeAnythingIsWritten)
{
    struct TCase {
        const char *Name;
        std::function<std::string(TScratchFolder &)> Prepare;  // returns the target
        std::vector<std::string> NamesAfter;
    };
    const std::vector<TCase> cases = {
        {"read-only file",
         [](TScratchFolder &folder) {
             const std::string target = folder.File("old.csv");
             WriteFile(target, "kept\r\n");
             // Read-only to everybody; as root only the check of the mode bits stops a rename.
             fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
             return target;
         },
         {"old.csv"}},
        {"missing folder", [](TScratchFolder &folder) { return folder.File("no such folder/new.csv"); }, {}},
        {"folder in place of the file",
         [](TScratchFolder &folder) {
             fs::create_directory(folder.Path() / "taken.csv");
             return folder.File("taken.csv");
         },
         {"taken.csv"}},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.Name);
        TScratchFolder folder("atomic-file-test");
        const std::string target = testCase.Prepare(folder);
        const std::string before = fs::is_regular_file(target) ? FileContents(target) : std::string();

        FailureText([&] { SaveAtomically(target, "new\r\n"); }, TFileStep::Create, target);

        if (fs::is_regular_file(target)) {
            EXPECT_EQ(FileContents(target), before);
        }
        EXPECT_EQ(folder.Names(), testCase.NamesAfter);
    }
}

// A target in folders nested so deep that its path has exactly `length`
// characters; the folders are made, the file is not.
std::string TargetOfLength(const TScratchFolder &folder, std::size_t length, const std::string &name)
{
    fs::path path = folder.Path();
    std::size_t left = length - path.string().size() - 1 - name.size();
    for (char letter = 'a'; left > 0; ++letter) {
        // Each folder adds its name and a separator; one character alone is
        // too little for a folder, so it goes with the one before.
        std::size_t step = std::min<std::size_t>(left, 120);
        if (left - step == 1)
            --step;
        path /= std::string(step - 1, letter);
        fs::create_directory(path);
        left -= step;
    }
    const std::string target = (path / name).string();
    EXPECT_EQ(target.size(), length);
    return target;
}

TEST(AtomicFile, TargetAtTheLongestPathTheSystemTakesIsSaved)
{
    // The temporary file lies beside the target: a name longer than the
    // target's would make its path too long where the target's is not.
#ifdef _WIN32
    // A folder's own path stops 12 characters earlier, so the name is longer.
    const std::size_t longest = MAX_PATH - 1;
    const char *const names[] = {"readings.csv"};
#else
    const std::size_t longest = PATH_MAX - 1;
    const char *const names[] = {"readings.csv", "r.csv"};
#endif
    for (const std::string name : names) {
        SCOPED_TRACE(name);
        TScratchFolder folder("atomic-file-test");
        const std::string target = TargetOfLength(folder, longest, name);
        for (const char *contents : {"first\r\n", "second\r\n"}) {
            SaveAtomically(target, contents);
            EXPECT_EQ(FileContents(target), contents);
        }
        EXPECT_EQ(folder.Names(fs::path(target).parent_path()), std::vector<std::string>{name});
    }
}

TEST(AtomicFile, ReplacedFileKeepsItsPermissions)
{
#ifdef _WIN32
    GTEST_SKIP() << "mode bits are a POSIX matter";
#else
    TScratchFolder folder("atomic-file-test");
    const std::string target = folder.File("shared.csv");
    WriteFile(target, "old\r\n");
    chmod(target.c_str(), 0640);

    SaveAtomically(target, "new\r\n");

    struct stat status {};
    ASSERT_EQ(stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
#endif
}

TEST(AtomicFile, ReplacedFileKeepsItsAttributes)
{
#ifndef _WIN32
    GTEST_SKIP() << "file attributes are a Windows matter";
#else
    // Wine's replace carries no attribute over (the old file keeps its own
    // under the backup's name), and Wine marks every file for archiving: under
    // Wine only that mark can be looked at.
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    const DWORD looked = wine ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    const struct {
        const char *Name;
        DWORD Old;
    } cases[] = {
        {"hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
        {"plain", FILE_ATTRIBUTE_ARCHIVE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TScratchFolder folder("atomic-file-test");
        const std::string target = folder.File("kept.csv");
        WriteFile(target, "old\r\n");
        ASSERT_TRUE(SetFileAttributesA(target.c_str(), c.Old));

        SaveAtomically(target, "new\r\n");

        EXPECT_EQ(GetFileAttributesA(target.c_str()) & looked, c.Old & looked);
        EXPECT_EQ(FileContents(target), "new\r\n");
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"kept.csv"}) << "a temporary or backup file is left";
    }
#endif
}

TEST(AtomicFile, TargetThatGoesAwayWhileTheNewOneIsWrittenIsMadeAnew)
{
    TScratchFolder folder("atomic-file-test");
    const std::string target = folder.File("readings.csv");
    WriteFile(target, "old\r\n");
    TAtomicFile file;
    file.Open(target);
    file.Write("new\r\n");
    fs::remove(target);

    file.Commit();

    EXPECT_EQ(FileContents(target), "new\r\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"readings.csv"});
}

TEST(AtomicFile, FileHeldOpenByAnotherProgramIsNotReplaced)
{
#ifndef _WIN32
    GTEST_SKIP() << "POSIX has no exclusive opens to respect";
#else
    TScratchFolder folder("atomic-file-test");
    const std::string target = folder.File("open.csv");
    WriteFile(target, "kept\r\n");
    const HANDLE other = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);

    FailureText([&] { SaveAtomically(target, "new\r\n"); }, TFileStep::Create, target);

    CloseHandle(other);
    EXPECT_EQ(FileContents(target), "kept\r\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"open.csv"});
#endif
}

TEST(AtomicFile, RenameWaitsForAMomentaryHoldButNotForALastingOne)
{
#ifndef _WIN32
    GTEST_SKIP() << "POSIX has no exclusive opens to respect";
#else
    // An indexer or a virus scanner that opens the target just before the
    // rename lets go within moments; a spreadsheet that has it open does not.
    const struct {
        const char *Name;
        int ReleaseAfterMs;  // -1: held until after the save
        bool Replaced;
    } cases[] = {
        {"freed after a moment", 200, true},
        {"held throughout", -1, false},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.Name);
        TScratchFolder folder("atomic-file-test");
        const std::string target = folder.File("held.csv");
        WriteFile(target, "old\r\n");
        TAtomicFile file;
        file.Open(target);
        file.Write("new\r\n");

        const HANDLE other = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        // The other program's moment: its own time, which no event of ours marks.
        std::atomic<bool> releasing{false};
        std::thread releaser;
        if (testCase.ReleaseAfterMs >= 0)
            releaser = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(testCase.ReleaseAfterMs));
                releasing = true;
                CloseHandle(other);
            });
        const auto start = std::chrono::steady_clock::now();
        if (testCase.Replaced)
            EXPECT_NO_THROW(file.Commit());
        else
            FailureText([&] { file.Commit(); }, TFileStep::Create, target);
        const auto waited = std::chrono::steady_clock::now() - start;
        const bool releasedBeforeCommitEnded = releasing;
        if (releaser.joinable())
            releaser.join();
        else
            CloseHandle(other);

        EXPECT_EQ(FileContents(target), testCase.Replaced ? "new\r\n" : "old\r\n");
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"held.csv"});
        if (testCase.Replaced)
            EXPECT_TRUE(releasedBeforeCommitEnded) << "the rename did not meet the hold";
        else
            EXPECT_GE(waited, std::chrono::milliseconds(900)) << "gave up before about a second";
        EXPECT_LT(waited, std::chrono::milliseconds(5000));
    }
#endif
}

#ifndef _WIN32
namespace {

// Makes writes beyond a few kilobytes fail, the way a full disk does: a tiny
// tmpfs when the test may mount one (root on a machine that allows it), else a
// file size limit on the process.
class TFullDisk {
public:
    explicit TFullDisk(const fs::path &where) : FWhere(where)
    {
        FMounted = geteuid() == 0 && mount("tmpfs", where.c_str(), "tmpfs", 0, "size=16k") == 0;
        if (!FMounted) {
            FOldSignal = std::signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &FOldLimit);
            rlimit small = FOldLimit;
            small.rlim_cur = 16 * 1024;
            setrlimit(RLIMIT_FSIZE, &small);
        }
    }
    ~TFullDisk()
    {
        if (FMounted) {
            umount2(FWhere.c_str(), MNT_DETACH);
        } else {
            setrlimit(RLIMIT_FSIZE, &FOldLimit);
            std::signal(SIGXFSZ, FOldSignal);
        }
    }
    TFullDisk(const TFullDisk &) = delete;
    TFullDisk &operator=(const TFullDisk &) = delete;

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(FWhere))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    fs::path FWhere;
    bool FMounted = false;
    rlimit FOldLimit{};
    void (*FOldSignal)(int) = SIG_DFL;
};

} // namespace
#endif

TEST(AtomicFile, FullDiskKeepsTheOldFileAndReportsTheFailedWrite)
{
#ifdef _WIN32
    GTEST_SKIP() << "no way to fill a disk here without harm";
#else
    TScratchFolder folder("atomic-file-test");
    const fs::path disk = folder.Path() / "disk";
    fs::create_directory(disk);
    TFullDisk full(disk);
    const std::string target = (disk / "readings.csv").string();
    WriteFile(target, "old\r\n");

    const std::string big(1 << 20, 'x');
    FailureText([&] { SaveAtomically(target, big); }, TFileStep::Write, target);

    EXPECT_EQ(FileContents(target), "old\r\n");
    EXPECT_EQ(full.Names(), std::vector<std::string>{"readings.csv"});
#endif
}

TEST(AtomicFile, NewFileOnlyNeverTouchesAnythingThatHasItsName)
{
    TScratchFolder folder("atomic-file-test");
    const std::string target = folder.File("report.pdf");
    fs::create_directory(folder.Path() / "a-folder");
    WriteFile(folder.File("taken.pdf"), "kept");
    for (const std::string &taken : {folder.File("taken.pdf"), folder.File("a-folder")}) {
        TAtomicFile file;
        EXPECT_THROW(file.Open(taken, TReplace::Never), EFileExists) << taken;
    }
    // A file that takes the name while the new one is being written stays too.
    TAtomicFile file;
    file.Open(target, TReplace::Never);
    file.Write("new");
    WriteFile(target, "a stranger");
    EXPECT_THROW(file.Commit(), EFileExists);
    EXPECT_EQ(FileContents(target), "a stranger");
    EXPECT_EQ(FileContents(folder.File("taken.pdf")), "kept");
    EXPECT_EQ(folder.Names().size(), 3u) << "the temporary file was left behind";

    fs::remove(target);
    SaveAtomically(target, "unused");  // the ordinary mode replaces as before
    TAtomicFile fresh;
    fresh.Open(folder.File("fresh.pdf"), TReplace::Never);
    fresh.Write("whole");
    fresh.Commit();
    EXPECT_EQ(FileContents(folder.File("fresh.pdf")), "whole");
}

TEST(AtomicFile, ErrorTextCutsTrailingBlanksLineBreaksAndFullStops)
{
    struct TCase {
        TFileStep Step;
        const char *Cause;
        const char *Expected;
    };
    const TCase cases[] = {
        {TFileStep::Create, "Access is denied.\r\n", "Cannot create file \"C:\\d\\a.csv\". Access is denied"},
        {TFileStep::Create, "Permission denied", "Cannot create file \"C:\\d\\a.csv\". Permission denied"},
        {TFileStep::Write, "There is not enough space on the disk. \r\n", "Cannot write file \"C:\\d\\a.csv\". There is not enough space on the disk"},
        {TFileStep::Write, "v1.2 disk ... ", "Cannot write file \"C:\\d\\a.csv\". v1.2 disk"},
    };
    for (const auto &testCase : cases)
        EXPECT_EQ(FileErrorText(testCase.Step, "C:\\d\\a.csv", testCase.Cause), testCase.Expected) << testCase.Cause;
}
