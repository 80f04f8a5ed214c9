#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Assertions.h"
#include "common/Paths.h"
#include "engine/EraseFunc.h"
#include "engine/EraseSeams.h"
#include "tests/support/SteppingClock.h"
#include "tests/support/TempFolder.h"

// Each engine test starts from the default environment and a stepping clock, records assertion
// reports in memory, and works in a folder of its own.
class EngineTest : public testing::Test {
protected:
    void SetUp() override {
        previousHandler_ = SetAssertionHandler(RecordAssertion);
        ClearRecordedAssertions();
        previousEnvironment_ = SetEraseEnvironment({});
        previousSeams_ = SetEraseSeams(SteppingClockSeams());
        previousQuestions_ = SetFileQuestions({});
    }
    void TearDown() override {
        SetFileQuestions(previousQuestions_);
        SetEraseSeams(previousSeams_);
        SetEraseEnvironment(previousEnvironment_);
        SetAssertionHandler(previousHandler_);
    }

    // Records the file's content at every pass end and just before the cut.
    void ObservePasses() {
        EraseSeams seams = SteppingClockSeams();
        seams.observer = [this](const OverwriteEvent& event) {
            const std::string bytes = ReadHandle(event.file, static_cast<std::size_t>(HandleSize(event.file)));
            if (event.kind == OverwriteEvent::PassEnd)
                passes_.push_back(bytes);
            else
                beforeCut_.push_back(bytes);
        };
        SetEraseSeams(seams);
    }

    // The cluster size cannot be asked, so no tip past the file's end is written: for cases about
    // the passes over the file itself, whatever allocation the file system here reports.
    static void NoTips() {
        FileQuestions questions;
        questions.clusterSize = [](const std::wstring&) -> DWORD { return 0; };
        SetFileQuestions(questions);
    }

    static std::string Repeat(const std::string& word, std::size_t count) {
        std::string out;
        for (std::size_t i = 0; i < count; ++i) out += word;
        return out;
    }

    TempFolder folder_;
    std::vector<std::string> passes_;
    std::vector<std::string> beforeCut_;

private:
    AssertionHandler previousHandler_;
    EraseEnvironment previousEnvironment_;
    EraseSeams previousSeams_;
    FileQuestions previousQuestions_;
};
