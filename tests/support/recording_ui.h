// A user interface that records what the core shows and never waits.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "link/user_interface.h"

namespace vek::test {

class RecordingUi : public UserInterface {
  public:
    void ShowMessage(const std::string& text, MessageIcon icon) override {
        messages.push_back(text);
        icons.push_back(icon);
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
    void PumpOneEvent() override {
        ++pumps;
        if (onPump) {
            onPump();
        }
    }
    void BeginWaitCursor() override {
        ++waitDepth;
        maxWaitDepth = std::max(maxWaitDepth, waitDepth);
    }
    void EndWaitCursor() override { --waitDepth; }
    void Pause(int milliseconds) override {
        pauses.push_back(milliseconds);
        events.push_back("pause " + std::to_string(milliseconds));
    }
    FieldTexts TakeFieldTexts() override { return controls; }
    void ShowFieldTexts(const FieldTexts& texts) override { controls = texts; }
    int SelectedDeviceRow() override { return selectedRow; }
    void SetOperationRunning(bool running) override {
        operationRunning = running;
        if (running) {
            ++operationsStarted;
        }
    }
    void RefreshConfigEditors() override { ++editorRefreshes; }
    void PrepareHexDataWindow() override {
        hexData.clear();
        ++hexDataPrepared;
    }
    void ShowHexDataLines(const std::vector<std::string>& lines) override { hexData = lines; }
    void EmptyHexDataWindow() override { hexData.clear(); }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool answerYes = false;
    std::vector<MessageIcon> icons;
    std::vector<std::string> events;  // messages, questions and pauses, in order
    std::vector<int> progress;
    std::vector<int> pauses;
    FieldTexts controls;  // what the window's fields show
    int selectedRow = 0;
    int waitDepth = 0;
    int maxWaitDepth = 0;
    int pumps = 0;
    bool operationRunning = false;
    int operationsStarted = 0;
    int editorRefreshes = 0;
    std::vector<std::string> hexData;  // what the Hex Data window lists
    int hexDataPrepared = 0;
    // Run inside a message box or a pump, as the window's nested event loop would.
    std::function<void(const std::string&)> onMessage;
    std::function<void()> onPump;
};

}  // namespace vek::test
