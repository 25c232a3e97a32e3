#include "report/atomic_file_device.h"

#include <string_view>

TAtomicFileDevice::TAtomicFileDevice(TAtomicFile &file) : FFile(file)
{
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

void TAtomicFileDevice::ThrowIfFailed() const
{
    if (FFailure)
        throw EFileError(*FFailure);
}

qint64 TAtomicFileDevice::readData(char *, qint64)
{
    return -1;
}

qint64 TAtomicFileDevice::writeData(const char *data, qint64 size)
{
    // After a failure the atomic file has discarded its temporary file.
    if (FFailure)
        return -1;
    try {
        FFile.Write(std::string_view(data, static_cast<std::size_t>(size)));
    } catch (const EFileError &error) {
        FFailure = error.what();
        setErrorString(QString::fromStdString(*FFailure));
        return -1;
    }
    return size;
}
