#include "device/DriverBlocks.h"

#include <algorithm>
#include <cstring>

#include "device/Guid.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool AllZero(const uint8_t* p, size_t n) {
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

bool HasPropertySet(const uint8_t* p) {
    const auto set = kVendorRequestPropertySet.Bytes();
    return std::memcmp(p, set.data(), set.size()) == 0;
}

void PutPropertyHeader(std::vector<uint8_t>& b, uint32_t id, uint32_t flags) {
    const auto set = kVendorRequestPropertySet.Bytes();
    std::copy(set.begin(), set.end(), b.begin());
    Put32(b, 16, id);
    Put32(b, 20, flags);
}

std::optional<DriverRequest> DecodeGeneric(uint32_t code, const uint8_t* in, size_t inSize,
                                           const uint8_t* out, size_t outSize) {
    if (inSize != kGenericRequestBlockSize) return std::nullopt;
    if (!AllZero(in, 4) || !AllZero(in + 12, 12)) return std::nullopt;
    DriverRequest r;
    r.setup = {in[4], in[5], Get16(in + 6), Get16(in + 8)};
    if (GenericIoctlCode(r.setup.bmRequestType) != code) return std::nullopt;
    const uint16_t wLength = Get16(in + 10);
    // ControlTransfer leaves wLength 0 and lets the buffer size carry the length; the
    // descriptor probe states it. Either way it must not disagree with the buffer.
    if (wLength != 0 && wLength != outSize) return std::nullopt;
    if (outSize > 0xFFFF) return std::nullopt;
    r.length = static_cast<uint32_t>(outSize);
    if (!r.setup.DeviceToHost() && outSize > 0) {
        if (out == nullptr) return std::nullopt;
        r.data.assign(out, out + outSize);
    }
    return r;
}

std::optional<DriverRequest> DecodeKs(const uint8_t* in, size_t inSize, size_t outSize) {
    if (inSize < kKsSupportQuerySize || !HasPropertySet(in)) return std::nullopt;
    const uint32_t id = Get32(in + 16);
    const uint32_t flags = Get32(in + 20);
    if (inSize == kKsSupportQuerySize) {
        if (id != 0 || flags != kKsPropertyBasicSupport || outSize != 0) return std::nullopt;
        DriverRequest r;
        r.kind = DriverRequest::Kind::SupportQuery;
        return r;
    }
    if (inSize < kKsDataOffset + 8) return std::nullopt;
    if (id != kKsVendorRequestProperty) return std::nullopt;
    if (flags != kKsPropertyGet && flags != kKsPropertySet) return std::nullopt;
    if (in[24] != 0x20 || !AllZero(in + 30, 6)) return std::nullopt;
    const uint32_t length = Get32(in + 36);
    if (length != outSize || length > 0xFFFF) return std::nullopt;
    if (inSize != KsRequestBlockSize(length)) return std::nullopt;
    if (!AllZero(in + kKsDataOffset + length, inSize - kKsDataOffset - length)) return std::nullopt;

    DriverRequest r;
    // The audio driver carries only the direction; the stand-ins send vendor requests to
    // the "other" recipient, as the chip's firmware expects.
    r.setup = {static_cast<uint8_t>(flags == kKsPropertyGet ? 0xC3 : 0x43), in[25],
               Get16(in + 26), Get16(in + 28)};
    r.length = length;
    if (flags == kKsPropertySet) r.data.assign(in + kKsDataOffset, in + kKsDataOffset + length);
    return r;
}

}  // namespace

uint32_t GenericIoctlCode(uint8_t bmRequestType) {
    return (bmRequestType & 0x80) ? kIoctlGenericRead : kIoctlGenericWrite;
}

std::vector<uint8_t> MakeGenericRequestBlock(const ControlSetup& setup, uint16_t wLength) {
    std::vector<uint8_t> block(kGenericRequestBlockSize, 0);
    block[4] = setup.bmRequestType;
    block[5] = setup.bRequest;
    Put16(block, 6, setup.wValue);
    Put16(block, 8, setup.wIndex);
    Put16(block, 10, wLength);
    return block;
}

size_t KsRequestBlockSize(uint32_t length) {
    return length == 0 ? kKsDataOffset + 8 : kKsDataOffset + 7 + size_t{length};
}

std::vector<uint8_t> MakeKsRequestBlock(const ControlSetup& setup, const uint8_t* data,
                                        uint32_t length) {
    std::vector<uint8_t> block(KsRequestBlockSize(length), 0);
    PutPropertyHeader(block, kKsVendorRequestProperty,
                      setup.DeviceToHost() ? kKsPropertyGet : kKsPropertySet);
    block[24] = 0x20;
    block[25] = setup.bRequest;
    Put16(block, 26, setup.wValue);
    Put16(block, 28, setup.wIndex);
    Put32(block, 36, length);
    if (length > 0 && data != nullptr) std::memcpy(block.data() + kKsDataOffset, data, length);
    return block;
}

std::vector<uint8_t> MakeKsSupportQuery() {
    std::vector<uint8_t> block(kKsSupportQuerySize, 0);
    PutPropertyHeader(block, 0, kKsPropertyBasicSupport);
    return block;
}

std::optional<DriverRequest> DecodeDriverRequest(uint32_t code, const uint8_t* input,
                                                 size_t inputSize, const uint8_t* output,
                                                 size_t outputSize) {
    if (input == nullptr) return std::nullopt;
    if (outputSize > 0 && output == nullptr) return std::nullopt;
    switch (code) {
        case kIoctlGenericRead:
        case kIoctlGenericWrite:
            return DecodeGeneric(code, input, inputSize, output, outputSize);
        case kIoctlKsProperty:
            return DecodeKs(input, inputSize, outputSize);
        default:
            return std::nullopt;
    }
}
