#include "cli/ConsoleReporter.h"

#include "cli/JsonLines.h"

namespace {

const char* StageName(IspStage stage) {
    switch (stage) {
        case IspStage::Erase: return "erase";
        case IspStage::BlankCheck: return "blank";
        case IspStage::Program: return "program";
        case IspStage::Verify: return "verify";
        case IspStage::ReadBack: return "read";
    }
    return "";
}

}  // namespace

void ConsoleReporter::EndBar() {
    if (!barShown_) return;
    out_ << '\n';
    out_.flush();
    barShown_ = false;
}

void ConsoleReporter::ProcessInfo(const std::string& text) {
    if (text == last_) return;
    last_ = text;
    EndBar();
    out_ << text << '\n';
    out_.flush();
    lastPercent_ = -1;
}

void ConsoleReporter::Progress(IspStage stage, uint64_t done, uint64_t total) {
    if ((!bar_ && json_ == nullptr) || total == 0) return;
    const int percent = static_cast<int>(done >= total ? 100 : done * 100 / total);
    if (percent == lastPercent_ && stage == lastStage_) return;
    lastPercent_ = percent;
    lastStage_ = stage;
    if (json_ != nullptr) {
        json_->Progress(StageName(stage), done, total);
        return;
    }
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    out_ << "\r" << StageName(stage) << "\t[" << std::string(filled, '#')
         << std::string(kWidth - filled, ' ') << "] " << percent << "%";
    out_.flush();
    barShown_ = true;
}
