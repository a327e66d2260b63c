#pragma once
// What the window asks of the desktop: message boxes, file dialogs, the screen's resolution
// and the message pump. The Qt implementation serves the real program; tests install a
// scripted one that records messages and pre-answers dialogs, so nothing waits for a person.
// Sleeps go through the Clock (device/Clock.h).

#include <optional>
#include <string>

// A file dialog as the form describes it. The filter lists "description|patterns" pairs
// separated by "|", patterns separated by ";", e.g. "Binary File|*.bin".
struct FileDialogSpec {
    const char* filter;
    const char* defaultExt;
};

class UiServices {
public:
    virtual ~UiServices() = default;

    // A modal box with the caption "Dialog", one OK button and no owner window.
    virtual void MessageBox(const std::string& text) = 0;
    // The standard error display: an error raised inside an event handler (such as a failed
    // text-to-integer conversion) is shown with its message; the window stays open.
    virtual void ShowError(const std::string& message) = 0;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> OpenFile(const FileDialogSpec& dialog) = 0;
    virtual std::optional<std::string> SaveFile(const FileDialogSpec& dialog) = 0;
    // Horizontal logical pixels per inch of the screen the window starts on.
    virtual int PixelsPerInch() = 0;
    // Handles the window messages that are pending, then returns.
    virtual void ProcessMessages() = 0;
};
