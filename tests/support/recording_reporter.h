// A reporter that records what the core shows and never waits.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "link/reporter.h"

namespace vek::test {

class RecordingReporter : public Reporter {
  public:
    void ShowMessage(const std::string& text, MessageIcon) override {
        messages.push_back(text);
        events.push_back("message: " + text);
        if (onMessage) {
            onMessage(text);
        }
    }
    bool AskYesNo(const std::string& question) override {
        questions.push_back(question);
        events.push_back("question: " + question);
        return answerYes;
    }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void PumpOneEvent() override { ++pumps; }
    void BeginWaitCursor() override {
        ++waitDepth;
        maxWaitDepth = std::max(maxWaitDepth, waitDepth);
    }
    void EndWaitCursor() override { --waitDepth; }
    void Pause(int milliseconds) override {
        pauses.push_back(milliseconds);
        events.push_back("pause " + std::to_string(milliseconds));
    }
    void SetOperationRunning(bool running) override { operationRunning = running; }
    void ShowTargetId(int id) override { targetIds.push_back(id); }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool answerYes = false;
    std::vector<std::string> events;  // messages, questions and pauses, in order
    std::vector<int> progress;
    std::vector<int> pauses;
    std::vector<int> targetIds;  // as the Dev Word field shows them, in turn
    int waitDepth = 0;
    int maxWaitDepth = 0;
    int pumps = 0;
    bool operationRunning = false;
    // Run inside a message box, as the window's nested event loop would.
    std::function<void(const std::string&)> onMessage;
};

}  // namespace vek::test
