#pragma once
// Machine-readable output (--json): one JSON object per line on stdout.
//   {"type":"message","text":"Verifying Success"}        every status line
//   {"type":"progress","stage":"program","done":4096,"total":262144}
//   {"type":"result","command":"auto","ok":true,"exit":0,"data":{...}}   last
// The commands keep writing their human lines to a stream; in JSON mode that stream turns
// each line into a message object.

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <streambuf>
#include <string>

class JsonLines {
public:
    explicit JsonLines(std::ostream& out);
    ~JsonLines();
    JsonLines(const JsonLines&) = delete;
    JsonLines& operator=(const JsonLines&) = delete;

    // The stream whose lines become message objects.
    std::ostream& Messages() { return messages_; }
    void Progress(const std::string& stage, uint64_t done, uint64_t total);
    void Result(const std::string& command, int exitCode, const nlohmann::json& data);
    void Emit(const nlohmann::json& object);

private:
    class LineBuffer;
    std::ostream& out_;
    std::unique_ptr<LineBuffer> buffer_;
    std::ostream messages_;
};
