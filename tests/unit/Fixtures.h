// What the window and audio tests start from: a simulated desktop holding our own window,
// the record file, and the window list that keeps it.
#pragma once

#include "sim/SimDesktop.h"
#include "sim/SimStore.h"
#include "record/uHiddenRecord.h"
#include "windows/uWindowsHider.h"

#include <gtest/gtest.h>

#include <memory>

namespace tw {

class WindowListFixture : public ::testing::Test {
protected:
    static constexpr char kRecordPath[] = "C:\\Tarnwick\\Hidden.dat";

    sim::SimDesktop desk;
    Hwnd self = desk.AddWindow("Tarnwick");
    sim::SimStore store;
    THiddenRecord record{store, desk, desk, kRecordPath};
    TWindowList list{desk, &record, &desk};

    // The record as the next start reads it, after this run was killed.
    std::unique_ptr<THiddenRecord> NextStart()
    {
        auto next = std::make_unique<THiddenRecord>(store, desk, desk, kRecordPath);
        next->Load();
        return next;
    }
};

} // namespace tw
