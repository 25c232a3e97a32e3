// SPDX-License-Identifier: Apache-2.0
#include "tests/support/file_calls.h"

#include <fstream>
#include <sstream>

#ifdef __linux__
#include "tests/support/file_probe/file_probe.h"
#endif

namespace fs = std::filesystem;

std::vector<TFileCall> ReadFileCalls(const fs::path &log)
{
    std::vector<TFileCall> calls;
    std::ifstream in(log, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        if (fields.size() < 7) {
            fields.resize(7);  // a path that was cut short: keep what is there
        }
        TFileCall call;
        call.Number = std::atol(fields[0].c_str());
        call.Call = fields[1];
        call.Descriptor = std::atoi(fields[2].c_str());
        call.Path = fields[3];
        call.Second = fields[4];
        call.Result = std::atol(fields[5].c_str());
        call.Error = std::atoi(fields[6].c_str());
        calls.push_back(call);
    }
    return calls;
}

namespace {
std::string PlaceIn(const std::string &path, const fs::path &folder)
{
    const fs::path relative = fs::path(path).lexically_relative(folder);
    const std::string text = relative.generic_string();
    if (text == ".")
        return "folder";
    if (text.empty() || text.rfind("..", 0) == 0)
        return path;
    return relative.filename().string().rfind('~', 0) == 0 ? (relative.parent_path() / "~").generic_string() : text;
}
} // namespace

std::string CallSequence(const std::vector<TFileCall> &calls, const fs::path &folder)
{
    const fs::path canonical = fs::weakly_canonical(folder);
    std::string sequence;
    for (const TFileCall &call : calls) {
        if (!sequence.empty())
            sequence += "; ";
        sequence += call.Call + " " + PlaceIn(call.Path, canonical);
        if (!call.Second.empty())
            sequence += ">" + PlaceIn(call.Second, canonical);
    }
    return sequence;
}

#ifdef __linux__
TFileCallWatch::TFileCallWatch(const fs::path &folder)
    : FFolder(folder), FLog(folder.parent_path() / (folder.filename().string() + ".calls"))
{
    fs::remove(FLog);
    readout_file_probe_watch(FFolder.c_str(), FLog.c_str());
}

TFileCallWatch::~TFileCallWatch()
{
    readout_file_probe_fill_disk(-1);
    readout_file_probe_watch(nullptr, nullptr);
    std::error_code ignored;
    fs::remove(FLog, ignored);
}

std::string TFileCallWatch::Take()
{
    const std::string sequence = CallSequence(ReadFileCalls(FLog), FFolder);
    fs::remove(FLog);
    readout_file_probe_watch(FFolder.c_str(), FLog.c_str());
    return sequence;
}

void TFileCallWatch::FillDiskLeaving(long room)
{
    readout_file_probe_fill_disk(room);
}
#endif
