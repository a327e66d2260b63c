// The shared decoder turns every block the link builds back into the request it carries,
// and refuses blocks that no driver would accept.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "device/DriverBlocks.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Encoded {
    uint32_t code;
    Bytes input;
};

Encoded Encode(bool ks, const ControlSetup& s, const Bytes& data) {
    if (ks) return {kIoctlKsProperty, MakeKsRequestBlock(s, data.data(), uint32_t(data.size()))};
    return {GenericIoctlCode(s.bmRequestType), MakeGenericRequestBlock(s)};
}

TEST(DriverBlocks, EncoderAndDecoderAgreeOnBothPaths) {
    std::mt19937 rng(7);
    for (bool ks : {false, true}) {
        for (int i = 0; i < 200; ++i) {
            const bool in = (rng() & 1) != 0;
            const ControlSetup s{uint8_t(in ? 0xC3 : 0x43), uint8_t(rng()), uint16_t(rng()),
                                 uint16_t(rng())};
            Bytes data(rng() % 300);
            for (auto& b : data) b = uint8_t(rng());
            const Encoded e = Encode(ks, s, data);
            const auto r = DecodeDriverRequest(e.code, e.input.data(), e.input.size(), data.data(),
                                               data.size());
            ASSERT_TRUE(r.has_value()) << "ks " << ks << " case " << i;
            EXPECT_EQ(r->kind, DriverRequest::Kind::Control);
            EXPECT_EQ(r->setup.bmRequestType, s.bmRequestType);
            EXPECT_EQ(r->setup.bRequest, s.bRequest);
            EXPECT_EQ(r->setup.wValue, s.wValue);
            EXPECT_EQ(r->setup.wIndex, s.wIndex);
            EXPECT_EQ(r->length, data.size());
            EXPECT_EQ(r->data, in ? Bytes{} : data);
        }
    }
}

TEST(DriverBlocks, ProbesDecode) {
    const Bytes probe = MakeGenericRequestBlock(kDescriptorProbeSetup, kDeviceDescriptorSize);
    uint8_t descriptor[18] = {};
    auto r = DecodeDriverRequest(kIoctlGenericRead, probe.data(), probe.size(), descriptor, 18);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->setup.bmRequestType, 0x80);
    EXPECT_EQ(r->setup.bRequest, 6);
    EXPECT_EQ(r->setup.wValue, 0x0100);
    EXPECT_EQ(r->length, 18u);

    const Bytes query = MakeKsSupportQuery();
    r = DecodeDriverRequest(kIoctlKsProperty, query.data(), query.size(), nullptr, 0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->kind, DriverRequest::Kind::SupportQuery);
}

TEST(DriverBlocks, MalformedBlocksAreRefused) {
    const ControlSetup read{0xC3, 0x91, 0, 0x12};
    const ControlSetup write{0x43, 0x90, 0, 0};
    uint8_t one = 0x0E;
    Bytes buf(8, 0);

    struct Case {
        const char* name;
        uint32_t code;
        Bytes input;
        size_t outSize;
    };
    Bytes ks = MakeKsRequestBlock(write, &one, 1);
    Bytes ksShort(ks.begin(), ks.end() - 1);
    Bytes ksLength = ks;
    ksLength[36] = 2;
    Bytes ksFlags = ks;
    ksFlags[20] = 3;
    Bytes ksSet = ks;
    ksSet[0] ^= 1;
    Bytes ksTail = ks;
    ksTail.back() = 1;
    Bytes generic = MakeGenericRequestBlock(read);
    Bytes genericLong = generic;
    genericLong.push_back(0);
    Bytes genericLength = MakeGenericRequestBlock(read, 4);
    Bytes genericReserved = generic;
    genericReserved[0] = 1;
    Bytes query = MakeKsSupportQuery();

    const std::vector<Case> cases = {
        {"unknown code", 0x220000, generic, 1},
        {"generic block too long", kIoctlGenericRead, genericLong, 1},
        {"generic length field disagrees", kIoctlGenericRead, genericLength, 1},
        {"generic reserved bytes set", kIoctlGenericRead, genericReserved, 1},
        {"generic code disagrees with direction", kIoctlGenericWrite, generic, 1},
        {"ks block too short", kIoctlKsProperty, ksShort, 1},
        {"ks length field disagrees", kIoctlKsProperty, ksLength, 1},
        {"ks length disagrees with buffer", kIoctlKsProperty, ks, 2},
        {"ks unknown flags", kIoctlKsProperty, ksFlags, 1},
        {"ks other property set", kIoctlKsProperty, ksSet, 1},
        {"ks padding not zero", kIoctlKsProperty, ksTail, 1},
        {"support query with a buffer", kIoctlKsProperty, query, 1},
        {"empty input", kIoctlKsProperty, {}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(DecodeDriverRequest(c.code, c.input.data(), c.input.size(), buf.data(), c.outSize))
            << c.name;
    }
}

}  // namespace
