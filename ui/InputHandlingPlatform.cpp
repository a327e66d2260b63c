#include "ui/InputHandlingPlatform.h"

#include "ui/DeviceAction.h"

bool InputHandlingPlatform::IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input,
                                      size_t inputSize, uint8_t* output, size_t outputSize) {
    const bool ok = inner_.IoControl(handle, code, input, inputSize, output, outputSize);
    // The outcome is kept by the wrapped platform (LastIoFailure); input handled now
    // cannot send requests of its own, as every other device action is refused meanwhile.
    if (DeviceAction::Held()) pump_.PumpIfDue();
    return ok;
}
