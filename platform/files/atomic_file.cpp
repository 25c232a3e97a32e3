// SPDX-License-Identifier: Apache-2.0
// TAtomicFile's steps and what each failure undoes: the same on every system.
#include "platform/files/atomic_file.h"
#include "platform/files/atomic_file_system.h"

namespace {

[[noreturn]] void Throw(TFileStep step, const std::string &path, unsigned long error)
{
    const std::string text = FileErrorText(step, path, TAtomicFileSystem::Describe(error));
    if (TAtomicFileSystem::MeansNameTaken(error))
        throw EFileExists(text);
    throw EFileError(text);
}

} // namespace

struct TAtomicFile::TState {
    std::string Target;
    TReplace Replace = TReplace::Existing;
    std::unique_ptr<TAtomicFileSystem> System;
};

TAtomicFile::TAtomicFile() = default;

TAtomicFile::~TAtomicFile() = default;

void TAtomicFile::Discard() noexcept
{
    if (F)
        F->System->Remove();
}

void TAtomicFile::Fail(TFileStep step, unsigned long platformError)
{
    const std::string target = F ? F->Target : std::string();
    Discard();
    Throw(step, target, platformError);
}

void TAtomicFile::Open(const std::string &targetUtf8, TReplace replace)
{
    if (F)
        throw std::logic_error("TAtomicFile::Open called twice");
    auto state = std::make_unique<TState>();
    state->Target = targetUtf8;
    state->Replace = replace;
    state->System = NewAtomicFileSystem(targetUtf8);
    if (const unsigned long refused = state->System->CheckTarget(replace))
        Throw(TFileStep::Create, targetUtf8, refused);
    for (int attempt = 0;; ++attempt) {
        const unsigned long error = state->System->CreateTemporary();
        if (error == 0)
            break;
        if (error != TAtomicFileSystem::NewNameTaken || attempt >= 100)
            Throw(TFileStep::Create, targetUtf8, error);
    }
    F = std::move(state);
}

void TAtomicFile::Write(std::string_view bytes)
{
    if (!F || !F->System->IsOpen())
        throw std::logic_error("TAtomicFile::Write without an open file");
    while (!bytes.empty()) {
        std::size_t written = 0;
        if (const unsigned long error = F->System->Write(bytes, written))
            Fail(TFileStep::Write, error);
        bytes.remove_prefix(written);
    }
}

void TAtomicFile::Commit()
{
    if (!F || !F->System->IsOpen())
        throw std::logic_error("TAtomicFile::Commit without an open file");
    // Only data that is on the disk may take the old file's place.
    if (const unsigned long error = F->System->Flush())
        Fail(TFileStep::Write, error);
    if (const unsigned long error = F->System->Close())
        Fail(TFileStep::Write, error);
    if (const unsigned long error = F->System->MoveIntoPlace(F->Replace))
        Fail(TFileStep::Create, error);
}

std::string TAtomicFile::TemporaryPath() const
{
    return F ? F->System->TemporaryPath() : std::string();
}
