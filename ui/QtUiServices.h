#pragma once
// The desktop services of the real program, on Qt.

#include <QString>

#include "ui/UiServices.h"

class QtUiServices final : public UiServices {
public:
    void MessageBox(const std::string& text) override;
    void ShowError(const std::string& message) override;
    std::optional<std::string> OpenFile(const FileDialogSpec& dialog) override;
    std::optional<std::string> SaveFile(const FileDialogSpec& dialog) override;
    int PixelsPerInch() override;
    void ProcessMessages() override;
};

// "Hex File|*.hex;*.h00|Binary File|*.bin" -> "Hex File (*.hex *.h00);;Binary File (*.bin)".
QString QtFileFilter(const char* filter);
