// The window's Auto run of a 256 KB update on the simulated chip, under the virtual clock
// with the same latency model as auto_bench, so the host CPU time shows what the label
// updates and the message handling of the window cost on top of the sequence itself.
//
//   QT_QPA_PLATFORM=offscreen window_auto_bench IMAGE.bin [LATENCY_US]

#include <sys/resource.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/Clock.h"
#include "device/QuorvelUsb.h"
#include "sim/SimulatedChip.h"
#include "ui/QtUiServices.h"
#include "ui/Unit1.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The real desktop services, except that the open dialog answers with the image.
class BenchServices final : public UiServices {
public:
    explicit BenchServices(std::string image) : image_(std::move(image)) {}
    void MessageBox(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ShowError(const std::string& message) override { MessageBox(message); }
    std::optional<std::string> OpenFile(const FileDialogSpec&) override { return image_; }
    std::optional<std::string> SaveFile(const FileDialogSpec&) override { return std::nullopt; }
    int PixelsPerInch() override { return qt_.PixelsPerInch(); }
    void ProcessMessages() override {
        ++pumps;
        qt_.ProcessMessages();
    }
    size_t pumps = 0;

private:
    std::string image_;
    QtUiServices qt_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_auto_bench IMAGE.bin [LATENCY_US]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const uint64_t latency = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 125;
    VirtualClock clock;
    SetCurrentClock(&clock);
    SimulatedChip chip(clock);
    chip.SetLogEnabled(false);
    size_t requests = 0;
    chip.SetTraceSink([&](uint32_t, const uint8_t*, size_t, const uint8_t*, size_t, bool) {
        ++requests;
    });
    gDevice.SetPlatform(&chip);

    QTemporaryDir settings;
    BenchServices services(argv[1]);
    int rc = 1;
    {
        TForm1 form(services, SettingsLocation{settings.filePath(QStringLiteral("VARIvor.conf")).toStdString()});
        form.Timer1->stop();
        form.show();
        form.Timer1Timer();  // the first search finds the normal device
        form.ui.USBLoadFileBitBtn->click();
        chip.SetRequestLatencyMicros(latency);
        requests = 0;
        const uint64_t virtualStart = clock.NowMicros();
        const double cpuStart = CpuSeconds();
        form.ui.btnUSBISPAuto->click();
        const double cpu = CpuSeconds() - cpuStart;
        const double virtualSeconds = double(clock.NowMicros() - virtualStart) / 1e6;
        const std::string result = form.ui.lblUSBProcessInfo->text().toStdString();
        std::printf("result              %s\n", result.c_str());
        std::printf("control requests    %zu\n", requests);
        std::printf("message pumps       %zu\n", services.pumps);
        std::printf("virtual duration    %.3f s\n", virtualSeconds);
        std::printf("host CPU time       %.3f s\n", cpu);
        rc = result == "Verifying Success" ? 0 : 1;
    }
    gDevice.SetPlatform(nullptr);
    SetCurrentClock(nullptr);
    return rc;
}
