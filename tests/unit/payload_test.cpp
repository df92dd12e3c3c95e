#include "base/payload.h"

#include "unit/test_machine.h"

const char kEmptyArchive[] = "C0\x0a\0\0\0\0\0\0\0";

TEST(Payload, MappedFromTheResources) {
    TestMachine machine;
    machine.SetResource("QOVIMOZ", "MOZ", std::string(kEmptyArchive, 10));
    MapPayload();
    ASSERT_NE(context.payload, nullptr);
    EXPECT_EQ(context.payloadSize, 10u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(context.payload), 10), std::string(kEmptyArchive, 10));
    ReleasePayloadAndScratch();
    EXPECT_EQ(context.payload, nullptr);
    EXPECT_EQ(context.payloadSize, 0u);
}

TEST(Payload, MissingResourceLeavesNothingMapped) {
    TestMachine machine;
    machine.SetResource("OTHER", "MOZ", "C0");
    MapPayload();
    EXPECT_EQ(context.payload, nullptr);
    EXPECT_EQ(context.payloadSize, 0u);
}

TEST(Scratch, TwoMegabytesZeroedAndGivenBack) {
    TestMachine machine;
    ObtainScratch();
    ASSERT_NE(context.scratch, nullptr);
    EXPECT_EQ(machine.LiveGlobalBlocks(), 1u);
    for (size_t at : {size_t(0), size_t(100), kScratchSize - 1}) EXPECT_EQ(context.scratch[at], 0) << at;
    ReleasePayloadAndScratch();
    EXPECT_EQ(context.scratch, nullptr);
    EXPECT_EQ(machine.LiveGlobalBlocks(), 0u);
}

TEST(Scratch, StaysNullWhenMemoryIsShort) {
    TestMachine machine;
    machine.LimitGlobalAlloc(kScratchSize - 1);
    ObtainScratch();
    EXPECT_EQ(context.scratch, nullptr);
    EXPECT_EQ(machine.LiveGlobalBlocks(), 0u);
    ReleasePayloadAndScratch();  // nothing to give back is no error
}
