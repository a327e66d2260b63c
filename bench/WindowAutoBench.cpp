// The host CPU that the window spends on a firmware update, next to the command-line
// tool's for the same image: the Auto run on the simulated chip under the virtual clock,
// with the latency model of auto_bench, so the virtual duration stands for the update's
// time on a device and the host CPU is what the program itself spends meanwhile.
//
//   window_auto_bench IMAGE.bin [LATENCY_US]
//
// Rows: the CLI's run in-process (its console reporter, writing to /dev/null), the CLI as
// a whole process, and the window (offscreen, and under Xvfb with the xcb platform when
// xvfb-run is on the PATH), each window run in a process of its own, shown and clicked.
// The window rows give the run from the Auto click to its end.
//
//   window_auto_bench --window-run IMAGE.bin LATENCY_US     (one window run; used above)

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "cli/ConsoleReporter.h"
#include "device/Clock.h"
#include "device/QuorvelUsb.h"
#include "files/ProgramFile.h"
#include "isp/IspOperations.h"
#include "sim/SimulatedChip.h"
#include "ui/QtUiServices.h"
#include "ui/Unit1.h"

namespace {

double Seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

double CpuSeconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// What one run reports, "name value" per line.
using Figures = std::map<std::string, std::string>;

void Print(const Figures& figures) {
    for (const auto& [name, value] : figures) std::printf("%s %s\n", name.c_str(), value.c_str());
}

Figures Parse(const std::string& text) {
    Figures figures;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        const size_t blank = line.find(' ');
        if (blank != std::string::npos) figures[line.substr(0, blank)] = line.substr(blank + 1);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return figures;
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

// A simulated chip on a virtual clock, found by gDevice, that counts its requests.
struct BenchChip {
    VirtualClock clock;
    SimulatedChip chip{clock};
    size_t requests = 0;

    BenchChip() {
        SetCurrentClock(&clock);
        chip.SetLogEnabled(false);
        chip.SetTraceSink([this](uint32_t, const uint8_t*, size_t, const uint8_t*, size_t, bool) { ++requests; });
        gDevice.SetPlatform(&chip);
    }
    ~BenchChip() {
        gDevice.SetPlatform(nullptr);
        SetCurrentClock(nullptr);
    }
};

int WindowRun(int argc, char** argv, const std::string& image, uint64_t latency) {
    QApplication app(argc, argv);
    BenchChip bench;
    QTemporaryDir settings;
    BenchServices services(image);
    Figures figures;
    {
        TForm1 form(services, SettingsLocation{settings.filePath(QStringLiteral("VARIvor.conf")).toStdString()});
        form.Timer1->stop();
        form.show();
        QApplication::processEvents();  // the first paint, before the run is measured
        form.Timer1Timer();             // the first search finds the normal device
        form.ui.USBLoadFileBitBtn->click();
        bench.chip.SetRequestLatencyMicros(latency);
        bench.requests = 0;
        services.pumps = 0;
        const uint64_t virtualStart = bench.clock.NowMicros();
        const double cpuStart = CpuSeconds();
        form.ui.btnUSBISPAuto->click();
        figures["cpu"] = std::to_string(CpuSeconds() - cpuStart);
        figures["virtual"] = std::to_string(double(bench.clock.NowMicros() - virtualStart) / 1e6);
        figures["requests"] = std::to_string(bench.requests);
        figures["pumps"] = std::to_string(services.pumps);
        figures["result"] = form.ui.lblUSBProcessInfo->text().toStdString();
    }
    Print(figures);
    return figures["result"] == "Verifying Success" ? 0 : 1;
}

Figures CliRunInProcess(const std::string& image, uint64_t latency) {
    BenchChip bench;
    gDevice.SetKsPath(1);
    gDevice.SetMatchString("vid_7c3d&pid_6012");
    gDevice.FindDevice();
    LoadProgramFile(image);
    std::ofstream sink("/dev/null");
    ConsoleReporter report(sink, false);
    bench.chip.SetRequestLatencyMicros(latency);
    bench.requests = 0;
    const double cpuStart = CpuSeconds();
    const AutoResult result = RunAutoSequence(AutoOptions{}, report);
    Figures figures;
    figures["cpu"] = std::to_string(CpuSeconds() - cpuStart);
    figures["virtual"] = std::to_string(double(bench.clock.NowMicros()) / 1e6);
    figures["requests"] = std::to_string(bench.requests);
    figures["result"] = result.success ? "Verifying Success" : report.LastInfo();
    return figures;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs `command` in a shell; its output, and the CPU its processes spent.
std::string RunChild(const std::string& command, double& childCpu) {
    const double before = CpuSeconds(RUSAGE_CHILDREN);
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
        pclose(pipe);
    }
    childCpu = CpuSeconds(RUSAGE_CHILDREN) - before;
    return output;
}

bool OnPath(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

void Row(const char* what, const Figures& f) {
    if (f.count("cpu") == 0 || f.count("virtual") == 0) {
        std::printf("%-34s  did not run\n", what);
        return;
    }
    const double cpu = std::atof(f.at("cpu").c_str());
    const double duration = std::atof(f.at("virtual").c_str());
    std::printf("%-34s  %9.3f s  %9.3f s  %7.2f %%  %-8s  %s\n", what, duration, cpu,
                duration > 0 ? 100.0 * cpu / duration : 0.0, f.count("pumps") ? f.at("pumps").c_str() : "-",
                f.count("result") ? f.at("result").c_str() : "");
}

int Compare(const std::string& image, uint64_t latency) {
    std::printf("%-34s  %11s  %11s  %9s  %-8s  %s\n", "run", "update", "host CPU", "CPU/update", "pumps",
                "result");
    const Figures cliRun = CliRunInProcess(image, latency);
    Row("CLI, the run (in-process)", cliRun);

    // The same run in a process of its own: its virtual duration is the one above (the
    // clock is virtual and the image the same), its CPU that of the whole process.
    double cpu = 0;
    RunChild(std::string(QUORVEL_CLI_PATH) + " --sim --sim-clock virtual --sim-latency-us " +
                 std::to_string(latency) + " auto " + Quoted(image) + " >/dev/null 2>&1",
             cpu);
    Figures cliProcess;
    cliProcess["virtual"] = cliRun.count("virtual") ? cliRun.at("virtual") : "0";
    cliProcess["cpu"] = std::to_string(cpu);
    Row("CLI, whole process", cliProcess);

    char path[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string windowRun = Quoted(length > 0 ? std::string(path, size_t(length)) : "/proc/self/exe") +
                                  " --window-run " + Quoted(image) + " " + std::to_string(latency) + " 2>/dev/null";
    Row("window, offscreen", Parse(RunChild("QT_QPA_PLATFORM=offscreen " + windowRun, cpu)));
    if (OnPath("xvfb-run")) {
        const std::string xvfb = "xvfb-run -a -s '-screen 0 1280x1024x24' env QT_QPA_PLATFORM=xcb ";
        Row("window, Xvfb (xcb)", Parse(RunChild(xvfb + windowRun, cpu)));
    } else {
        std::printf("%-34s  not measured: xvfb-run is not installed\n", "window, Xvfb (xcb)");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--window-run")
        return WindowRun(argc, argv, argv[2], std::strtoull(argv[3], nullptr, 10));
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: window_auto_bench IMAGE.bin [LATENCY_US]\n");
        return 2;
    }
    return Compare(argv[1], argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 125);
}
