// SPDX-License-Identifier: Apache-2.0
// Replacing a file without ever losing the old one: the new contents go to a
// temporary file in the target's folder, are flushed to the disk, and only then
// take the target's name in one step. Until Commit() succeeds the target stays
// exactly as it was.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

// A file could not be created or written. what() is the whole message the
// operator sees (the application's error box adds the final full stop).
class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A new file could not be made because something already has its name.
class EFileExists : public EFileError {
public:
    using EFileError::EFileError;
};

enum class TFileStep {
    Create,  // "Cannot create file ..."
    Write,   // "Cannot write file ..."
};

// The operator's message for a failed step on a file. The platform's cause loses
// its trailing blanks, line breaks and full stops, so that the error box's own
// full stop does not double one.
inline std::string FileErrorText(TFileStep step, const std::string &pathUtf8, std::string cause)
{
    while (!cause.empty()) {
        const char last = cause.back();
        if (last != ' ' && last != '\t' && last != '\r' && last != '\n' && last != '.')
            break;
        cause.pop_back();
    }
    const char *verb = step == TFileStep::Create ? "Cannot create file \"" : "Cannot write file \"";
    return verb + pathUtf8 + "\". " + cause;
}

// Whether the file may take the place of one that has the target's name.
enum class TReplace {
    Existing,  // Save: the old file goes once the new one is whole
    Never,     // a file that must be new: an existing one is never touched
};

// Use: Open(target), Write() as often as needed, Commit(). Every failure throws
// EFileError and leaves the target untouched; destroying the object before a
// successful Commit() removes the temporary file. Not for sharing between threads.
class TAtomicFile {
public:
    TAtomicFile();
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile &) = delete;
    TAtomicFile &operator=(const TAtomicFile &) = delete;

    // Checks that the target (UTF-8 path) may be replaced - an existing target
    // must be writable and not held open by another program - and creates the
    // temporary file beside it. Throws EFileError (TFileStep::Create). With
    // TReplace::Never anything that has the target's name (a file, a folder,
    // a device) is refused with EFileExists, here and again at Commit().
    void Open(const std::string &targetUtf8, TReplace replace = TReplace::Existing);
    // Appends bytes to the temporary file; all of them or an EFileError
    // (TFileStep::Write). Each call goes to the platform: callers buffer.
    void Write(std::string_view bytes);
    // Flushes the temporary file to the disk and puts it in the target's place.
    // Throws EFileError; the temporary file is then gone and the target unchanged.
    void Commit();

    // The temporary file's path while one is open (for tests and messages).
    std::string TemporaryPath() const;

private:
    struct TState;  // the target and the system's side (atomic_file_system.h)
    std::unique_ptr<TState> F;

    // Closes and removes an uncommitted temporary file; used on every failure.
    void Discard() noexcept;
    [[noreturn]] void Fail(TFileStep step, unsigned long platformError);
};
