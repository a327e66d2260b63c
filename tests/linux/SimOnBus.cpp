#include "SimOnBus.h"

#include "UsbDescriptors.h"

EmulatedUsbDevice::Responder ServeFrom(SimulatedChip& chip) {
    return [&chip](const ControlSetup& setup, std::vector<uint8_t>& data) {
        const DeviceHandle handle = chip.Open(chip.InterfacePath());
        if (handle == kNoDeviceHandle) return false;
        const std::vector<uint8_t> block = MakeGenericRequestBlock(setup);
        const bool ok = chip.IoControl(handle, GenericIoctlCode(setup.bmRequestType), block.data(),
                                       block.size(), data.empty() ? nullptr : data.data(),
                                       data.size());
        chip.Close(handle);
        return ok;
    };
}

UsbDeviceSpec SpecOf(const SimulatedChip& chip, std::string sysfsName, uint8_t address) {
    const bool normal = chip.Identity() == SimIdentity::Normal;
    return {std::move(sysfsName), 1, address,
            normal ? Descriptors(chip.Vid(), chip.Pid(), {kClassAudio, kClassAudio, kClassHid}, 0xEF)
                   : Descriptors(chip.Vid(), chip.Pid(), {kClassVendor})};
}
