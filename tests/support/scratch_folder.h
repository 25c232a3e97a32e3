// SPDX-License-Identifier: Apache-2.0
// A fresh folder per test under the system's temporary folder, for the tests
// of the file layer.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Removed with everything in it, read-only entries included.
class TScratchFolder {
public:
    explicit TScratchFolder(const std::string &purpose)
    {
        namespace fs = std::filesystem;
        static std::atomic<int> counter{0};
        const auto stamp = std::to_string(fs::file_time_type::clock::now().time_since_epoch().count());
        FPath = fs::temp_directory_path() / (purpose + "-" + stamp + "-" + std::to_string(counter++));
        fs::create_directories(FPath);
    }
    ~TScratchFolder()
    {
        namespace fs = std::filesystem;
        // Nothing thrown: a path std::filesystem cannot follow (MinGW's stops
        // at 260 characters) must not end the test program.
        std::error_code walk;
        std::error_code ignored;
        for (fs::recursive_directory_iterator entry(FPath, walk), end; !walk && entry != end; entry.increment(walk))
            fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(FPath, ignored);
    }
    TScratchFolder(const TScratchFolder &) = delete;
    TScratchFolder &operator=(const TScratchFolder &) = delete;

    const std::filesystem::path &Path() const { return FPath; }
    std::string File(const std::string &name) const { return (FPath / name).string(); }

    // The names in the folder itself, or in one of its folders.
    std::vector<std::string> Names(const std::filesystem::path &folder = {}) const
    {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(folder.empty() ? FPath : folder))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path FPath;
};

// Writes the bytes as the file's whole contents.
inline void WriteFileContents(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// All bytes of a file; empty when it cannot be read.
inline std::string FileContents(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
