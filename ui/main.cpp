// quorvel-isp-tool: the maintenance window. Started with --sim it talks to the simulated
// chip instead of the USB stack; --engineering shows the engineering pages and controls.

#include <QApplication>
#include <QMessageBox>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "device/QuorvelUsb.h"
#include "ui/PlatformChoice.h"
#include "ui/QtUiServices.h"
#include "ui/Unit1.h"
#include "ui/WindowOptions.h"

namespace {

// The standard error display for an error that escapes start-up or the message loop.
void ShowFatalError(const std::string& message) {
    if (QApplication::instance() != nullptr) {
        QtUiServices().ShowError(message);
    } else {
        std::cerr << "quorvel-isp-tool: " << message << '\n';
    }
}

int RunWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel USB ISP Tool"));
    std::vector<std::string> arguments(argv, argv + argc);
    const std::unique_ptr<DevicePlatform> platform = ChooseDevicePlatform(arguments);
    gDevice.SetPlatform(platform.get());

    QtUiServices services;
    int result = 0;
    try {
        TForm1 Form1(services, SettingsLocation{}, WindowOptionsFrom(arguments));
        Form1.show();
        result = QApplication::exec();
    } catch (...) {
        // The handle goes back to its platform before the platform goes.
        gDevice.SetPlatform(nullptr);
        throw;
    }
    // FormClose has closed a found device's handle; any other handle still open is closed
    // here, while the platform that owns it is alive.
    gDevice.SetPlatform(nullptr);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return RunWindow(argc, argv);
    } catch (const std::exception& error) {
        ShowFatalError(error.what());
    } catch (...) {
        ShowFatalError(std::string());
    }
    return 1;
}
