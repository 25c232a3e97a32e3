// SPDX-License-Identifier: Apache-2.0
// A disk that really fills up, for the tests of what a full disk does.
#pragma once

#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>

// A tmpfs of a few pages mounted on a folder for as long as its owner lives.
// Mounting needs root and a kernel that lets this process mount; where it
// cannot, Mounted() is false and WhyNot() says why, for the test's skip.
class TTinyDisk {
public:
    TTinyDisk(const std::filesystem::path &where, std::size_t bytes);
    ~TTinyDisk();
    TTinyDisk(const TTinyDisk &) = delete;
    TTinyDisk &operator=(const TTinyDisk &) = delete;

    bool Mounted() const { return FMounted; }
    const std::string &WhyNot() const { return FWhyNot; }
    // Takes up all space but `freePages` pages with a file of its own, ".filler".
    void FillLeaving(std::size_t freePages);
    static std::size_t PageSize();

private:
    std::filesystem::path FWhere;
    bool FMounted = false;
    std::string FWhyNot;
};

// A test with a tiny disk of 16 pages mounted on "disk" in a scratch folder of
// its own; skipped where no disk can be mounted.
class TinyDiskTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!disk.Mounted())
            GTEST_SKIP() << disk.WhyNot();
    }

    TScratchFolder folder{"tiny-disk-test"};
    TTinyDisk disk{folder.Path() / "disk", 16 * TTinyDisk::PageSize()};
};
