// A write-only Qt device over an atomic file, so that Qt's writers (the PDF
// writer) put their bytes into a temporary file with every write checked. Qt's
// writers do not look at write results; the device keeps the first failure
// for the caller to raise once the writer is done.
#pragma once

#include "platform/files/atomic_file.h"

#include <QIODevice>

#include <optional>
#include <string>

class TAtomicFileDevice : public QIODevice {
public:
    // `file` must be open and outlive the device. The device opens itself.
    explicit TAtomicFileDevice(TAtomicFile &file);

    // Throws the first write's EFileError, if a write failed.
    void ThrowIfFailed() const;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    TAtomicFile &FFile;
    std::optional<std::string> FFailure;
};
