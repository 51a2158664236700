#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "shell/window_port.h"

namespace strovanik::testing {

// A window that records what the commands ask of it and answers its dialogs from queues
// (an empty queue answers as a cancel). Check boxes start as the window's design has them.
class RecordingPort final : public shell::WindowPort {
public:
    void setCaption(std::string_view text) override { caption = std::string(text); }
    std::string reportText() const override { return report; }
    void setReportText(std::string_view text) override {
        report = std::string(text);
        ++reportWrites;
    }
    bool isChecked(shell::CheckBox box) const override {
        return box == shell::CheckBox::Check1 ? check1 : check2;
    }
    void setEnabled(shell::CheckBox box, bool enabled) override {
        if (box == shell::CheckBox::Check2) check2Enabled = enabled;
        if (box == shell::CheckBox::Check1) check1Enabled = enabled;
    }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    std::optional<std::string> askOpenPath(const shell::FileDialogRequest& request) override {
        openRequests.push_back(request);
        return answer(openAnswers);
    }
    std::optional<std::string> askSavePath(const shell::FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return answer(saveAnswers);
    }
    bool askYesNo(std::string_view question) override {
        questions.emplace_back(question);
        if (yesNoAnswers.empty()) return false;
        const bool yes = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return yes;
    }
    shell::InspectionChoice showInspection(const shell::InspectionDialogRequest& request) override {
        inspections.push_back(request);
        if (inspectionChoices.empty()) return shell::InspectionChoice::Closed;
        const shell::InspectionChoice choice = inspectionChoices.front();
        inspectionChoices.pop_front();
        return choice;
    }
    void beginProgress(std::string_view text) override {
        progressTexts.emplace_back(text);
        progressOpen = true;
    }
    bool advanceProgress(int percent) override {
        progressSteps.push_back(percent);
        return progressSteps.size() <= progressStepsBeforeCancel;
    }
    void endProgress() override { progressOpen = false; }
    void setFileCommandsEnabled(bool enabled) override { fileCommandsEnabled = enabled; }
    void copyText(std::string_view text) override { clipboard.emplace_back(text); }
    void openAddress(std::string_view address) override { addresses.emplace_back(address); }
    void quit() override { ++quits; }

    // A click on a check box as the window makes it: the state changes first.
    void toggle(shell::CheckBox box) {
        if (box == shell::CheckBox::Check1)
            check1 = !check1;
        else
            check2 = !check2;
    }

    std::string caption;
    std::string report;
    int reportWrites = 0;
    bool check1 = true;
    bool check2 = false;
    bool check1Enabled = true;
    bool check2Enabled = true;
    std::vector<std::string> messages;
    std::vector<shell::FileDialogRequest> openRequests;
    std::vector<shell::FileDialogRequest> saveRequests;
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<std::string> questions;
    std::deque<bool> yesNoAnswers;  // empty: No
    std::vector<shell::InspectionDialogRequest> inspections;
    std::deque<shell::InspectionChoice> inspectionChoices;  // empty: closed
    std::vector<std::string> progressTexts;
    std::vector<int> progressSteps;
    std::size_t progressStepsBeforeCancel = SIZE_MAX;  // the user cancels after that many
    bool progressOpen = false;
    std::optional<bool> fileCommandsEnabled;  // nothing until the commands have said
    std::vector<std::string> clipboard;
    std::vector<std::string> addresses;
    int quits = 0;

private:
    static std::optional<std::string> answer(std::deque<std::optional<std::string>>& answers) {
        if (answers.empty()) return std::nullopt;
        auto next = answers.front();
        answers.pop_front();
        return next;
    }
};

}  // namespace strovanik::testing
