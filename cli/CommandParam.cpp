// The Parameter and Information pages' operations on the command line: the option block,
// VID, PID and strings kept in the chip's EEPROM, what it plays, and its HID keys.

#include "chip/Mailbox.h"
#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "diag/HexGrid.h"
#include "diag/OptionBlock.h"
#include "diag/PlayStatus.h"

namespace {

void PrintBlock(CliSession& session, const OptionBlock& block) {
    session.out << "option";
    for (uint8_t b : block) session.out << " " << TwoHex(b);
    session.out << "\n" << EepromCaption(block) << "\n";
    nlohmann::json fields = nlohmann::json::object();
    for (const OptionFieldInfo& info : OptionFields()) {
        session.out << info.name << " " << OptionValue(block, info.field) << "\n";
        fields[info.name] = OptionValue(block, info.field);
    }
    session.Data()["option"] = block;
    session.Data()["eeprom"] = EepromPresent(block);
    session.Data()["fields"] = fields;
}

int MailboxFailed(CliSession& session, const char* what) {
    session.err << "quorvel-isp: " << what << ": the chip's mailbox did not complete the transfer\n";
    return kExitFailed;
}

}  // namespace

int ParamCommand(CliSession& session, const ParamRequest& request) {
    if (const int rc = session.ConnectDevice(); rc != 0) return rc;
    switch (request.action) {
        case ParamRequest::Read: {
            OptionBlock block{};
            if (!ReadSysPara(block.data())) return MailboxFailed(session, "param read");
            PrintBlock(session, block);
            return kExitOk;
        }
        case ParamRequest::Set: {
            OptionBlock block = request.block;
            if (!request.changes.empty()) {
                // Only the named fields change; the rest is sent back as the chip holds it.
                if (!ReadSysPara(block.data())) return MailboxFailed(session, "param set");
                for (const auto& [field, value] : request.changes) SetOptionValue(block, field, value);
            }
            if (!SetSysPara(block.data())) return MailboxFailed(session, "param set");
            PrintBlock(session, block);
            return kExitOk;
        }
        case ParamRequest::Vid:
        case ParamRequest::Pid:
            if (!SetSysId(request.action == ParamRequest::Vid ? SysId::Vendor : SysId::Product,
                          request.text))
                return MailboxFailed(session, request.action == ParamRequest::Vid ? "param vid" : "param pid");
            return kExitOk;
        case ParamRequest::String:
            if (!SetSysString(request.number, request.text)) return MailboxFailed(session, "param string");
            return kExitOk;
    }
    return kExitFailed;
}

int InfoCommand(CliSession& session) {
    if (const int rc = session.ConnectDevice(); rc != 0) return rc;
    StatusRegisters regs;
    if (!ReadStatusRegisters(regs)) {
        session.err << "quorvel-isp: cannot read the status registers\n";
        return kExitFailed;
    }
    const PlayStatus play = DecodePlayStatus(regs);
    nlohmann::json& data = session.Data();
    data["registers"] = {{"rate", regs.rate}, {"format", regs.format}, {"status", regs.status}};
    data["connected"] = play.connected;
    data["muted"] = play.muted;
    data["format"] = gFormatText[play.dsd ? 1 : 0];
    data["rate"] = gRateNames[play.rateIndex];
    session.out << gConnectText[play.connected ? 0 : 1] << "\n";
    if (!play.connected) return kExitOk;
    session.out << gPlayText[play.muted ? 1 : 0] << "\n";
    if (play.muted) return kExitOk;
    session.out << "Input Format: " << gFormatText[play.dsd ? 1 : 0] << "\n"
                << "Input Freq:  " << gRateNames[play.rateIndex] << "\n";
    return kExitOk;
}

int HidCommand(CliSession& session, int key) {
    if (const int rc = session.ConnectDevice(); rc != 0) return rc;
    session.Data()["key"] = kHidKeyNames[key];
    session.Data()["code"] = gHidKeyCodes[key];
    if (SendHidKey(gHidKeyCodes[key])) return kExitOk;
    session.err << "quorvel-isp: hid " << kHidKeyNames[key] << ": the chip did not confirm the key\n";
    return kExitFailed;
}
