#include "cli/DiagCommandLine.h"

#include <cstdio>
#include <memory>

#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "diag/OptionBlock.h"
#include "diag/PlayStatus.h"

namespace {

// A hexadecimal argument; a bad one is a usage error that names it.
class HexArguments {
public:
    explicit HexArguments(CliSession& session) : session_(session) {}
    template <typename T>
    void Take(const char* name, const std::string& text, uint32_t max, T& out) {
        const std::optional<uint32_t> value = ParseHexArgument(text, max);
        if (value) {
            out = static_cast<T>(*value);
            return;
        }
        Bad(name, text, "is not a hexadecimal value up to " + TwoHexOrMore(max));
    }
    void TakeBytes(const char* name, const std::string& text, std::vector<uint8_t>& out) {
        const auto bytes = ParseHexBytes(text);
        if (bytes && !bytes->empty()) {
            out = *bytes;
            return;
        }
        Bad(name, text, "is not a list of hexadecimal bytes such as 01,A0");
    }
    bool Ok() const { return ok_; }
    void Bad(const char* name, const std::string& text, const std::string& why) {
        if (ok_) session_.err << "quorvel-isp: " << name << ": '" << text << "' " << why << "\n";
        ok_ = false;
    }

private:
    static std::string TwoHexOrMore(uint32_t max) {
        char text[16];
        std::snprintf(text, sizeof text, "%X", max);
        return text;
    }
    CliSession& session_;
    bool ok_ = true;
};

// reg read|write|dump|bank.
void AddRegCommands(CLI::App& app, DiagArguments& a, std::function<int(CliSession&)>& command) {
    auto* reg = app.add_subcommand("reg", "read and write the chip's registers (the Register page)");
    reg->require_subcommand(1);
    std::string& regText = a.reg;
    std::string& valueText = a.value;
    auto* read = reg->add_subcommand("read", "read one register of the selected bank");
    read->add_option("REG", regText, "register (hex)")->required();
    auto* write = reg->add_subcommand("write", "write one register and read it back");
    write->add_option("REG", regText, "register (hex)")->required();
    write->add_option("VALUE", valueText, "value (hex)")->required();
    auto* dump = reg->add_subcommand("dump", "read all 256 registers of the selected bank");
    auto* bank = reg->add_subcommand("bank", "select a register bank (register 0)");
    bank->add_option("N", valueText, "bank (hex)")->required();
    const auto define = [&command, &regText, &valueText](RegRequest::Action action) {
        return [&command, &regText, &valueText, action] {
            command = [action, &regText, &valueText](CliSession& s) {
                RegRequest request;
                request.action = action;
                HexArguments args(s);
                if (action == RegRequest::Read || action == RegRequest::Write)
                    args.Take("REG", regText, 0xFF, request.reg);
                if (action == RegRequest::Write) args.Take("VALUE", valueText, 0xFF, request.value);
                if (action == RegRequest::Bank) args.Take("N", valueText, 0xFF, request.value);
                return args.Ok() ? RegCommand(s, request) : kExitUsage;
            };
        };
    };
    read->callback(define(RegRequest::Read));
    write->callback(define(RegRequest::Write));
    dump->callback(define(RegRequest::Dump));
    bank->callback(define(RegRequest::Bank));
}

// i2c read|write|raw-write|raw-read.
void AddI2cCommands(CLI::App& app, DiagArguments& a, std::function<int(CliSession&)>& command) {
    auto* i2c = app.add_subcommand("i2c", "transfers to I2C slaves behind the chip (the I2C Access page)");
    i2c->require_subcommand(1);
    std::string &slave = a.slave, &reg = a.reg, &count = a.count, &cmd = a.cmd, &data = a.data;
    std::vector<std::string>& bytes = a.bytes;
    auto* read = i2c->add_subcommand("read", "read COUNT registers of a slave from REG on");
    read->add_option("SLAVE", slave, "slave address, 8-bit write form (hex)")->required();
    read->add_option("REG", reg, "first register (hex)")->required();
    read->add_option("COUNT", count, "how many registers (hex, default 1)");
    auto* write = i2c->add_subcommand("write", "write bytes to a slave's registers from REG on");
    write->add_option("SLAVE", slave, "slave address (hex)")->required();
    write->add_option("REG", reg, "first register (hex)")->required();
    write->add_option("BYTE", bytes, "values (hex)")->required();
    auto* rawWrite = i2c->add_subcommand("raw-write", "send command bytes, then data bytes");
    rawWrite->add_option("SLAVE", slave, "slave address (hex)")->required();
    rawWrite->add_option("--cmd", cmd, "command bytes, e.g. 01,A0")->required();
    rawWrite->add_option("--data", data, "data bytes");
    auto* rawRead = i2c->add_subcommand("raw-read", "send command bytes, then read N bytes");
    rawRead->add_option("SLAVE", slave, "slave address (hex)")->required();
    rawRead->add_option("--cmd", cmd, "command bytes, e.g. 01,A0")->required();
    rawRead->add_option("--count", count, "bytes to read (hex)")->required();
    const auto define = [&command, &a](I2cRequest::Action action) {
        return [&command, &a, action] {
            command = [action, &a](CliSession& s) {
                const std::string &slave = a.slave, &reg = a.reg, &count = a.count, &cmd = a.cmd,
                                  &data = a.data;
                I2cRequest request;
                request.action = action;
                HexArguments args(s);
                args.Take("SLAVE", slave, 0xFF, request.slave);
                if (action == I2cRequest::Read || action == I2cRequest::Write)
                    args.Take("REG", reg, 0xFF, request.reg);
                if (action == I2cRequest::Read && !count.empty())
                    args.Take("COUNT", count, 0x100, request.count);
                if (action == I2cRequest::RawRead) args.Take("--count", count, 0xFF, request.count);
                if (request.count == 0 ||
                    (action == I2cRequest::Read && request.reg + request.count > 0x100))
                    args.Bad(action == I2cRequest::Read ? "COUNT" : "--count", count,
                             "leaves no register to read or reaches past register FF");
                if (action == I2cRequest::Write) {
                    for (const std::string& b : a.bytes) {
                        uint8_t value = 0;
                        args.Take("BYTE", b, 0xFF, value);
                        request.bytes.push_back(value);
                    }
                }
                if (action == I2cRequest::RawWrite || action == I2cRequest::RawRead)
                    args.TakeBytes("--cmd", cmd, request.command);
                if (action == I2cRequest::RawWrite && !data.empty())
                    args.TakeBytes("--data", data, request.bytes);
                return args.Ok() ? I2cCommand(s, request) : kExitUsage;
            };
        };
    };
    read->callback(define(I2cRequest::Read));
    write->callback(define(I2cRequest::Write));
    rawWrite->callback(define(I2cRequest::RawWrite));
    rawRead->callback(define(I2cRequest::RawRead));
}

// param read|set|vid|pid|string, info, hid.
void AddParamCommands(CLI::App& app, DiagArguments& a, std::function<int(CliSession&)>& command) {
    auto* param = app.add_subcommand("param", "the chip's stored parameters (the Parameter page)");
    param->require_subcommand(1);
    param->add_subcommand("read", "read the option block")->callback([&command] {
        command = [](CliSession& s) { return ParamCommand(s, {}); };
    });
    auto* set = param->add_subcommand(
        "set", "write the option block: HEX8 as given, or the named fields changed in the block read");
    set->add_option("HEX8", a.value, "the four bytes, e.g. A1000000");
    static const std::vector<OptionFieldInfo>& fields = OptionFields();
    auto values = std::make_shared<std::vector<std::string>>(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        std::string help = "one of";
        for (unsigned v : fields[i].values) help += " " + std::to_string(v);
        set->add_option(std::string("--") + fields[i].name, (*values)[i], help);
    }
    set->callback([&command, &a, values] {
        command = [&a, values](CliSession& s) {
            ParamRequest request;
            request.action = ParamRequest::Set;
            HexArguments args(s);
            for (size_t i = 0; i < fields.size(); ++i) {
                const std::string& text = (*values)[i];
                if (text.empty()) continue;
                const std::string name = std::string("--") + fields[i].name;
                OptionBlock probe{};
                unsigned value = 0;
                try {
                    value = static_cast<unsigned>(std::stoul(text));
                } catch (const std::exception&) {
                    value = 0xFFFFFFFF;
                }
                if (!SetOptionValue(probe, fields[i].field, value)) {
                    args.Bad(name.c_str(), text, "is not one of the field's values");
                    continue;
                }
                request.changes.emplace_back(fields[i].field, value);
            }
            if (a.value.empty() == request.changes.empty())
                args.Bad("HEX8", a.value, "is needed alone, or named fields without it");
            if (!a.value.empty()) {
                uint32_t packed = 0;
                const bool prefixed = a.value.rfind("0x", 0) == 0 || a.value.rfind("0X", 0) == 0;
                if (a.value.size() != (prefixed ? 10u : 8u))
                    args.Bad("HEX8", a.value, "is not eight hexadecimal digits (four bytes)");
                args.Take("HEX8", a.value, 0xFFFFFFFF, packed);
                for (int i = 0; i < 4; ++i) request.block[i] = uint8_t(packed >> (24 - 8 * i));
            }
            return args.Ok() ? ParamCommand(s, request) : kExitUsage;
        };
    });
    for (const char* which : {"vid", "pid"}) {
        auto* id = param->add_subcommand(which, std::string("write the ") + which +
                                                    " text (its first four characters)");
        id->add_option("TEXT", a.data, "four hexadecimal digits, sent as characters")->required();
        const bool vid = which[0] == 'v';
        id->callback([&command, &a, vid] {
            command = [&a, vid](CliSession& s) {
                ParamRequest request;
                request.action = vid ? ParamRequest::Vid : ParamRequest::Pid;
                request.text = a.data;
                return ParamCommand(s, request);
            };
        });
    }
    auto* string = param->add_subcommand("string", "write USB string 1, 2 or 3 (31 characters at most)");
    string->add_option("N", a.count, "1 manufacturer, 2 model name, 3 serial number")->required();
    string->add_option("TEXT", a.data, "the text")->required();
    string->callback([&command, &a] {
        command = [&a](CliSession& s) {
            ParamRequest request;
            request.action = ParamRequest::String;
            request.text = a.data;
            if (a.count != "1" && a.count != "2" && a.count != "3") {
                s.err << "quorvel-isp: N: '" << a.count << "' is not 1, 2 or 3\n";
                return kExitUsage;
            }
            request.number = a.count[0] - '0';
            return ParamCommand(s, request);
        };
    });

    app.add_subcommand("info", "what the chip plays (the Information page)")->callback([&command] {
        command = [](CliSession& s) { return InfoCommand(s); };
    });
    auto* hid = app.add_subcommand("hid", "send a HID media key: prev, vol-down, play, vol-up, next");
    hid->add_option("KEY", a.reg, "the key")->required();
    hid->callback([&command, &a] {
        command = [&a](CliSession& s) {
            for (int k = 0; k < 5; ++k)
                if (a.reg == kHidKeyNames[k]) return HidCommand(s, k);
            s.err << "quorvel-isp: KEY: '" << a.reg << "' is not prev, vol-down, play, vol-up or next\n";
            return kExitUsage;
        };
    });
}

}  // namespace

void AddDiagCommands(CLI::App& app, DiagArguments& arguments,
                     std::function<int(CliSession&)>& command) {
    AddRegCommands(app, arguments, command);
    AddI2cCommands(app, arguments, command);
    AddParamCommands(app, arguments, command);
}
