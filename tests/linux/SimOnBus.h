#pragma once
// A simulated chip as an emulated USB device: the device's sysfs entry carries the chip's
// identity, and every control request on its bus is handed to the chip.

#include <string>

#include "UsbTestBed.h"
#include "sim/SimulatedChip.h"

// Serves each control request from `chip` as it arrives on the bus (no driver encoding
// in between). The chip must outlive the device's last request.
EmulatedUsbDevice::Responder ServeFrom(SimulatedChip& chip);

// The descriptors of the chip's current identity: the normal device with its audio
// interfaces, an update device with a vendor-specific one.
UsbDeviceSpec SpecOf(const SimulatedChip& chip, std::string sysfsName, uint8_t address);
