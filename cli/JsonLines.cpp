#include "cli/JsonLines.h"

// Collects characters up to a newline, then hands the line over as a message object.
class JsonLines::LineBuffer final : public std::streambuf {
public:
    explicit LineBuffer(JsonLines& owner) : owner_(owner) {}
    ~LineBuffer() override { Flush(); }
    // Hands over a line still without its newline.
    void Flush() {
        if (!line_.empty()) EmitLine();
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        if (ch == '\n') {
            EmitLine();
        } else {
            line_ += ch;
        }
        return c;
    }

private:
    void EmitLine() {
        owner_.Emit({{"type", "message"}, {"text", line_}});
        line_.clear();
    }

    JsonLines& owner_;
    std::string line_;
};

JsonLines::JsonLines(std::ostream& out)
    : out_(out), buffer_(std::make_unique<LineBuffer>(*this)), messages_(buffer_.get()) {}

JsonLines::~JsonLines() { buffer_->Flush(); }

void JsonLines::Emit(const nlohmann::json& object) {
    // Texts from the device or a file need not be valid UTF-8: replace what is not.
    out_ << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    out_.flush();
}

void JsonLines::Progress(const std::string& stage, uint64_t done, uint64_t total) {
    Emit({{"type", "progress"}, {"stage", stage}, {"done", done}, {"total", total}});
}

void JsonLines::Result(const std::string& command, int exitCode, const nlohmann::json& data) {
    buffer_->Flush();
    Emit({{"type", "result"},
          {"command", command},
          {"ok", exitCode == 0},
          {"exit", exitCode},
          {"data", data.is_null() ? nlohmann::json::object() : data}});
}
