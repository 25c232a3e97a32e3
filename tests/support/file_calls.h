// SPDX-License-Identifier: Apache-2.0
// The file calls that the file probe (file_probe/file_probe.c) logged, read
// back for the tests of what reaches the disk and in which order.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct TFileCall {
    long Number = 0;
    std::string Call;  // "write", "fdatasync", "renameat2", "power-cut", ...
    int Descriptor = -1;
    std::string Path;
    std::string Second;  // the new name of a rename or link
    long Result = 0;
    int Error = 0;
};

std::vector<TFileCall> ReadFileCalls(const std::filesystem::path &log);

// The calls in a few words, with each path told by its place in `folder`:
// "write ~; fdatasync ~; renameat2 ~>log.csv; fsync folder". A temporary
// name (one that starts with "~") is "~", the folder itself is "folder".
std::string CallSequence(const std::vector<TFileCall> &calls, const std::filesystem::path &folder);

#ifdef __linux__
// The probe linked into this test program, watching one folder for as long as
// this object lives. The log lies beside the folder.
class TFileCallWatch {
public:
    explicit TFileCallWatch(const std::filesystem::path &folder);
    ~TFileCallWatch();
    TFileCallWatch(const TFileCallWatch &) = delete;
    TFileCallWatch &operator=(const TFileCallWatch &) = delete;

    // The calls logged since the watch began or since the last Take(), in
    // CallSequence's words; the log starts afresh.
    std::string Take();
    // Writes to the folder may add `room` bytes more, then the disk is full;
    // the disk is empty again when the watch ends.
    void FillDiskLeaving(long room);

private:
    std::filesystem::path FFolder;
    std::filesystem::path FLog;
};
#endif
