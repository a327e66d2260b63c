#include "cli/Commands.h"
#include "device/QuorvelUsb.h"

// One search per device kind, in the window's order: every matching path, then the
// message of the first kind found.
int DetectCommand(CliSession& session) {
    nlohmann::json devices = nlohmann::json::array();
    for (const DeviceMatch& m : session.Matches()) {
        session.out << m.path << "\n";
        devices.push_back({{"path", m.path}, {"kind", m.identity->message}});
    }
    session.Data()["devices"] = devices;
    session.Attach(session.Base());
    const DeviceIdentity* found = nullptr;
    for (const DeviceIdentity& identity : session.Order()) {
        gDevice.SetKsPath(identity.ksPath);
        gDevice.SetMatchString(identity.match.c_str());
        gDevice.ClearFound();
        gDevice.FindDevice();
        if (gDevice.IsFound() && found == nullptr) found = &identity;
    }
    session.out << (found ? found->message : "No device is available") << "\n";
    session.Data()["found"] = found != nullptr;
    return found ? 0 : 1;
}
