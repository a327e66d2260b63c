#pragma once
// Desktop services for tests: records every message and error, answers file dialogs from a
// script, reports a chosen resolution and counts message pumps. Nothing waits for a person.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/UiServices.h"

class ScriptedUiServices final : public UiServices {
public:
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    // Answers of the next dialogs, first to last; nullopt answers "cancel".
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<std::string> dialogFilters;
    int pixelsPerInch = 96;
    int pumps = 0;
    // Runs inside ProcessMessages, standing for input that arrives meanwhile.
    std::function<void()> onProcessMessages;

    void MessageBox(const std::string& text) override { messages.push_back(text); }
    void ShowError(const std::string& message) override { errors.push_back(message); }
    std::optional<std::string> OpenFile(const FileDialogSpec& dialog) override {
        return Answer(openAnswers, dialog);
    }
    std::optional<std::string> SaveFile(const FileDialogSpec& dialog) override {
        return Answer(saveAnswers, dialog);
    }
    int PixelsPerInch() override { return pixelsPerInch; }
    void ProcessMessages() override {
        ++pumps;
        if (onProcessMessages) onProcessMessages();
    }

private:
    std::optional<std::string> Answer(std::deque<std::optional<std::string>>& answers,
                                      const FileDialogSpec& dialog) {
        dialogFilters.push_back(dialog.filter);
        if (answers.empty()) {
            ADD_FAILURE() << "a file dialog opened that the test did not expect";
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
