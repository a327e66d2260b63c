#include "SimOnBus.h"

#include "UsbDescriptors.h"

EmulatedUsbDevice::Responder ServeFrom(SimulatedChip& chip) {
    return [&chip](const ControlSetup& setup, std::vector<uint8_t>& data) {
        // A short reply reaches libusb as a short transfer.
        const bool ok = chip.ServeBusRequest(setup, data);
        if (ok && setup.DeviceToHost()) data.resize(std::min(data.size(), chip.LastReturnedSize()));
        return ok;
    };
}

UsbDeviceSpec SpecOf(const SimulatedChip& chip, std::string sysfsName, uint8_t address) {
    const bool normal = chip.Identity() == SimIdentity::Normal;
    return {std::move(sysfsName), 1, address,
            normal ? Descriptors(chip.Vid(), chip.Pid(), {kClassAudio, kClassAudio, kClassHid}, 0xEF)
                   : Descriptors(chip.Vid(), chip.Pid(), {kClassVendor})};
}
