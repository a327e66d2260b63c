// The engineering commands: chip registers and I2C slaves, with the same requests, in the
// same order, as the window's Register and I2C Access pages send them.

#include <cctype>
#include <sstream>

#include "chip/I2cMaster.h"
#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "device/QuorvelUsb.h"
#include "diag/ByteImages.h"
#include "diag/HexGrid.h"

namespace {

// The grid pages wait this long between a write and its read-back.
constexpr uint32_t kKeySettleMs = 1;

void PrintRegister(CliSession& session, uint8_t reg, uint8_t value) {
    session.out << TwoHex(reg) << " = " << TwoHex(value) << "\n";
    session.Data()["registers"][TwoHex(reg)] = value;
}

// The I2C Access page sets the master up when it is shown; every I2C command does so first.
bool SetUpMaster(CliSession& session) {
    gDevice.OpenDevice();
    const bool ok = I2CMasterSetup();
    gDevice.CloseDevice();
    if (!ok) session.err << "quorvel-isp: cannot set up the chip's I2C master\n";
    return ok;
}

int ReadRegisters(CliSession& session, ByteTarget target, uint8_t first, unsigned count,
                  const std::string& what) {
    int rc = kExitOk;
    for (unsigned i = 0; i < count; ++i) {
        const auto reg = static_cast<uint8_t>(first + i);
        if (!ReadOneRegister(target, reg)) {
            session.err << "quorvel-isp: cannot read " << what << " register " << TwoHex(reg) << "\n";
            rc = kExitFailed;
            continue;
        }
        PrintRegister(session, reg, ImageOf(target)[reg]);
    }
    return rc;
}

int WriteRegisters(CliSession& session, ByteTarget target, uint8_t first,
                   const std::vector<uint8_t>& values, const std::string& what) {
    for (size_t i = 0; i < values.size(); ++i) {
        const auto reg = static_cast<uint8_t>(first + i);
        if (!WriteAndReadBack(target, reg, values[i], kKeySettleMs)) {
            session.err << "quorvel-isp: cannot write " << what << " register " << TwoHex(reg) << "\n";
            return kExitFailed;
        }
        PrintRegister(session, reg, ImageOf(target)[reg]);  // what it holds after the write
    }
    return kExitOk;
}

std::string SlaveName(uint8_t slave) { return "slave " + TwoHex(slave) + "'s"; }

}  // namespace

int RegCommand(CliSession& session, const RegRequest& request) {
    if (const int rc = session.ConnectDevice(); rc != 0) return rc;
    switch (request.action) {
        case RegRequest::Read:
            return ReadRegisters(session, ByteTarget::ChipRegisters, request.reg, 1, "chip");
        case RegRequest::Write:
            return WriteRegisters(session, ByteTarget::ChipRegisters, request.reg, {request.value}, "chip");
        case RegRequest::Bank:
            // Register 0 selects the bank, as writing it on the Register page does.
            return WriteRegisters(session, ByteTarget::ChipRegisters, 0, {request.value}, "chip");
        case RegRequest::Dump: {
            std::array<bool, 256> failed{};
            ReadAllRegisters(ByteTarget::ChipRegisters,
                             {nullptr, [&](uint8_t reg, bool ok) { failed[reg] = !ok; }});
            session.out << "  ";
            for (int column = 1; column <= 16; ++column) session.out << " " << ColumnHeader(column);
            session.out << "\n";
            int failures = 0;
            for (int row = 1; row <= 16; ++row) {
                session.out << RowHeader(row);
                for (int column = 1; column <= 16; ++column) {
                    const uint8_t reg = RegisterOfCell(column, row);
                    failures += failed[reg];
                    session.out << " " << (failed[reg] ? "??" : TwoHex(gRegisterImage[reg]));
                    session.Data()["registers"][TwoHex(reg)] =
                        failed[reg] ? nlohmann::json() : nlohmann::json(gRegisterImage[reg]);
                }
                session.out << "\n";
            }
            if (failures == 0) return kExitOk;
            session.err << "quorvel-isp: " << failures << " registers could not be read (shown as ?\?)\n";
            return kExitFailed;
        }
    }
    return kExitFailed;
}

int I2cCommand(CliSession& session, const I2cRequest& request) {
    if (const int rc = session.ConnectDevice(); rc != 0) return rc;
    if (!SetUpMaster(session)) return kExitFailed;
    gI2CSlaveAddress = request.slave;
    const std::string what = SlaveName(request.slave);
    session.Data()["slave"] = request.slave;
    switch (request.action) {
        case I2cRequest::Read:
            return ReadRegisters(session, ByteTarget::I2cSlave, request.reg, request.count, what);
        case I2cRequest::Write:
            return WriteRegisters(session, ByteTarget::I2cSlave, request.reg, request.bytes, what);
        case I2cRequest::RawWrite: {
            gDevice.OpenDevice();
            const bool ok = I2CWriteCommandData(
                request.slave, static_cast<uint8_t>(request.command.size()), request.command.data(),
                static_cast<uint8_t>(request.bytes.size()), request.bytes.data());
            gDevice.CloseDevice();
            if (ok) return kExitOk;
            session.err << "quorvel-isp: slave " << TwoHex(request.slave) << " did not answer\n";
            return kExitFailed;
        }
        case I2cRequest::RawRead: {
            std::vector<uint8_t> data(request.count, 0);
            gDevice.OpenDevice();
            const bool ok = I2CReadCommandData(
                request.slave, static_cast<uint8_t>(request.command.size()), request.command.data(),
                static_cast<uint8_t>(data.size()), data.data());
            gDevice.CloseDevice();
            if (!ok) {
                session.err << "quorvel-isp: slave " << TwoHex(request.slave) << " did not answer\n";
                return kExitFailed;
            }
            for (size_t i = 0; i < data.size(); ++i) session.out << (i ? " " : "") << TwoHex(data[i]);
            session.out << "\n";
            session.Data()["bytes"] = data;
            return kExitOk;
        }
    }
    return kExitFailed;
}

std::optional<uint32_t> ParseHexArgument(const std::string& text, uint32_t max) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c))
                                                       ? c - '0'
                                                       : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    if (value > max) return std::nullopt;
    return value;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ',')) {
        const std::optional<uint32_t> byte = ParseHexArgument(part, 0xFF);
        if (!byte) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(*byte));
    }
    return bytes;
}
