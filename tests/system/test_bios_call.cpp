// PEXACTRL's BIOS call: the search for the service header, the mappings it makes, the
// call with the register block, Esi/Edi offsets into the request, and the carry flag.
#include <windows.h>
#include <ntddk.h>

#include <cstring>
#include <string>

#include "driver_fixture.h"
#include "sim/io_objects.h"

namespace drivertest {
namespace {

const uint32_t kWindow = 0xF0000;
const uint32_t kBiosData = 0x400;
const uint32_t k64K = 0x10000;
const uint32_t k16K = 0x4000;
const uint32_t kBlockLength = sizeof(IR_BIOS_REGS);
const uint32_t kProductRequestLength = kBlockLength + IR_BIOS_DATA_AREA;

hw::NotebookConfig WithService(uint32_t header, uint32_t entry)
{
    hw::NotebookConfig config = FlatChipAt(0x2E);
    config.firmware.present = true;
    config.firmware.headerAddress = header;
    config.firmware.entryAddress = entry;
    config.firmware.SetOemId("_Tov", "____", "_Lum", "____");
    config.firmware.SetProductName("Skerry 46");
    return config;
}

hw::NotebookConfig UsualService()
{
    return WithService(hw::FirmwareConfig::kDefaultHeaderAddress,
                       hw::FirmwareConfig::kDefaultEntryAddress);
}

IR_BIOS_REGS OemRequest()
{
    IR_BIOS_REGS regs = {};
    regs.Eax = IR_BIOS_FUNCTION;
    regs.Ebx = IR_BIOS_OEM_ID;
    return regs;
}

// A request of `length` bytes: the block, then a data area of `fill` bytes.
std::vector<uint8_t> RequestBytes(const IR_BIOS_REGS& regs, uint32_t length, uint8_t fill = 0xEE)
{
    std::vector<uint8_t> bytes(length, fill);
    std::memcpy(bytes.data(), &regs, std::min<size_t>(length, sizeof regs));
    return bytes;
}

IR_BIOS_REGS BlockOf(const Reply& reply)
{
    IR_BIOS_REGS regs = {};
    std::memcpy(&regs, reply.out.data(), std::min<size_t>(reply.out.size(), sizeof regs));
    return regs;
}

void ExpectSameBlock(const IR_BIOS_REGS& a, const IR_BIOS_REGS& b)
{
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a))
        << std::hex << "Eax " << a.Eax << "/" << b.Eax << " Ebx " << a.Ebx << "/" << b.Ebx
        << " Esi " << a.Esi << "/" << b.Esi << " Carry " << a.Carry << "/" << b.Carry;
}

struct Mapping {
    uint64_t physical;
    size_t length;

    bool operator==(const Mapping& o) const { return physical == o.physical && length == o.length; }
};

void PrintTo(const Mapping& m, std::ostream* os)
{
    *os << std::hex << "0x" << m.physical << "+0x" << m.length;
}

class BiosCallTest : public DriverTest {
protected:
    Reply Call(const IR_BIOS_REGS& regs, uint32_t length = kBlockLength, uint8_t fill = 0xEE)
    {
        return Send(IOCTL_IR_BIOS_CALL, RequestBytes(regs, length, fill), length);
    }
    const std::vector<sim::PhysicalMapping>& Kernel() { return machine->io.Kernel().mappings; }
    std::vector<Mapping> Mappings()
    {
        std::vector<Mapping> made;
        for (const sim::PhysicalMapping& m : Kernel())
            made.push_back({m.physical, m.length});
        return made;
    }
    size_t LiveMappings()
    {
        size_t live = 0;
        for (const sim::PhysicalMapping& m : Kernel())
            live += m.live;
        return live;
    }
    const hw::FirmwareRecord& Firmware() { return notebook().firmware().record(); }
};

// Without a header at a 16-byte boundary the request comes back as sent with Carry 1,
// the window is let go again, and the next request searches anew.
struct NoServiceCase {
    const char* name;
    bool present;
    uint32_t header;
};

void PrintTo(const NoServiceCase& c, std::ostream* os)
{
    *os << c.name;
}

class BiosCallWithoutService : public BiosCallTest,
                               public ::testing::WithParamInterface<NoServiceCase> {};

TEST_P(BiosCallWithoutService, AnswersCarryOneAndLeavesNothingMapped)
{
    hw::NotebookConfig config = UsualService();
    config.firmware.present = GetParam().present;
    config.firmware.headerAddress = GetParam().header;
    Boot(config);
    ASSERT_EQ(notebook().firmware().headerPlaced(), GetParam().present);

    IR_BIOS_REGS sent = OemRequest();
    sent.Ecx = 0x11111111;
    sent.Edx = 0x22222222;
    sent.Esi = 0x33333333;
    sent.Edi = 0x44444444;
    sent.Reserved = 0x55555555;
    for (int request = 1; request <= 2; ++request) {
        Reply reply = Call(sent);
        ASSERT_TRUE(reply.ok);
        EXPECT_EQ(reply.returned, kBlockLength);
        IR_BIOS_REGS expected = sent;
        expected.Carry = 1;
        ExpectSameBlock(BlockOf(reply), expected);
        EXPECT_EQ(Kernel().size(), size_t(request)) << "one window per search";
        EXPECT_EQ(Mappings().back(), (Mapping{kWindow, k64K}));
        EXPECT_EQ(LiveMappings(), 0u);
    }
    EXPECT_EQ(Firmware().calls, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BiosCallWithoutService,
    ::testing::Values(NoServiceCase{"NoFirmware", false, 0xFE410},
                      NoServiceCase{"HeaderOffTheSixteenByteGrid", true, 0xFE418},
                      NoServiceCase{"HeaderAtAnOddAddress", true, 0xFE413}),
    [](const auto& info) { return std::string(info.param.name); });

// Where the entry lies decides the mappings: inside the window it is called there, below
// it one 16 KB page at the boundary at or below the entry. Every mapping is cached and
// stays; a second request maps nothing more.
struct PlacementCase {
    const char* name;
    uint32_t header;
    uint32_t entry;
    std::vector<Mapping> mappings;
};

void PrintTo(const PlacementCase& c, std::ostream* os)
{
    *os << c.name;
}

class BiosServicePlacement : public BiosCallTest,
                             public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(BiosServicePlacement, MapsOnceAndCallsTheEntry)
{
    const PlacementCase& c = GetParam();
    Boot(WithService(c.header, c.entry));
    ASSERT_TRUE(notebook().firmware().headerPlaced());

    for (uint32_t request = 1; request <= 2; ++request) {
        Reply reply = Call(OemRequest());
        ASSERT_TRUE(reply.ok);
        IR_BIOS_REGS regs = BlockOf(reply);
        EXPECT_EQ(regs.Carry, 0u);
        EXPECT_EQ(regs.Eax, hw::bios::PackChunk("_Tov"));
        EXPECT_EQ(regs.Ebx, hw::bios::PackChunk("____"));
        EXPECT_EQ(regs.Ecx, hw::bios::PackChunk("_Lum"));
        EXPECT_EQ(regs.Edx, hw::bios::PackChunk("____"));
        EXPECT_EQ(Firmware().calls, request);
        EXPECT_EQ(Firmware().wrongEntryCalls, 0u);
        EXPECT_EQ(Mappings(), c.mappings) << "request " << request;
    }
    EXPECT_EQ(LiveMappings(), c.mappings.size());
    for (const sim::PhysicalMapping& m : Kernel())
        EXPECT_EQ(m.cacheType, MmCached);

    // EBP carries the mapping of the BIOS data area.
    uint64_t ebpPhysical = 0;
    ASSERT_TRUE(notebook().firmware().memory().AddressOf(
        reinterpret_cast<const void*>(Firmware().lastAtEntry.ebp), &ebpPhysical));
    EXPECT_EQ(ebpPhysical, kBiosData);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BiosServicePlacement,
    ::testing::Values(
        PlacementCase{"EntryInTheWindow", 0xFE410, 0xFE5A0, {{kWindow, k64K}, {kBiosData, k64K}}},
        PlacementCase{"EntryAtTheWindowStart", 0xFFFF0, 0xF0000, {{kWindow, k64K}, {kBiosData, k64K}}},
        PlacementCase{"EntryBelowTheWindow", 0xF0000, 0xE2345,
                      {{kWindow, k64K}, {0xE0000, k16K}, {kBiosData, k64K}}},
        PlacementCase{"EntryOnTheLastByteOfAPage", 0xFE410, 0xEFFFF,
                      {{kWindow, k64K}, {0xEC000, k16K}, {kBiosData, k64K}}},
        PlacementCase{"EntryOnAPageBoundary", 0xFE410, 0x9C000,
                      {{kWindow, k64K}, {0x9C000, k16K}, {kBiosData, k64K}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The carry flag decides Carry, whatever the caller put there; with carry set the
// registers come back as the service left them (this service leaves them alone).
TEST_F(BiosCallTest, CarryIsTheServicesCarryFlag)
{
    struct Row {
        const char* name;
        uint32_t subfunction;
        uint32_t carryIn;
        uint32_t carryOut;
        uint32_t eaxOut;
    };
    const Row rows[] = {
        {"OEM identifier, carry clear", IR_BIOS_OEM_ID, 7, 0, hw::bios::PackChunk("_Tov")},
        {"unknown subfunction, carry set", 0x77, 0, 1, IR_BIOS_FUNCTION},
    };
    Boot(UsualService());
    for (const Row& row : rows) {
        IR_BIOS_REGS sent = OemRequest();
        sent.Ebx = row.subfunction;
        sent.Ecx = 0xC0FFEE;
        sent.Carry = row.carryIn;
        Reply reply = Call(sent);
        ASSERT_TRUE(reply.ok) << row.name;
        IR_BIOS_REGS back = BlockOf(reply);
        EXPECT_EQ(back.Carry, row.carryOut) << row.name;
        EXPECT_EQ(back.Eax, row.eaxOut) << row.name;
    }
    EXPECT_EQ(Firmware().calls, 2u);
    EXPECT_EQ(Firmware().lastAtEntry.ecx, 0xC0FFEEu);
}

// The product-name request: Esi 40 as an offset points the service at byte 40 of the
// driver's copy; the name comes back there, the rest of the data area as sent, and Esi
// as the address the service got, not 40.
TEST_F(BiosCallTest, ProductNameFillsTheDataAreaThroughTheEsiOffset)
{
    Boot(UsualService());
    IR_BIOS_REGS sent = {};
    sent.Eax = IR_BIOS_FUNCTION;
    sent.Ebx = IR_BIOS_PRODUCT_NAME;
    sent.Esi = kBlockLength;
    sent.EsiIsOffset = 1;
    sent.Edi = 0;
    sent.EdiIsOffset = 1;
    sent.Reserved = 0x5A5A5A5A;
    std::vector<uint8_t> bytes = RequestBytes(sent, kProductRequestLength);
    bytes[kBlockLength] = 0;
    Reply reply = Send(IOCTL_IR_BIOS_CALL, bytes, kProductRequestLength);
    ASSERT_TRUE(reply.ok);
    ASSERT_EQ(reply.returned, kProductRequestLength);

    const char name[] = "Skerry 46";
    EXPECT_EQ(0, std::memcmp(reply.out.data() + kBlockLength, name, sizeof name));
    for (uint32_t i = kBlockLength + sizeof name; i < kProductRequestLength; ++i)
        EXPECT_EQ(reply.out[i], 0xEE) << "byte " << i;

    const hw::BiosRegisters& atEntry = Firmware().lastAtEntry;
    EXPECT_EQ(atEntry.esi - atEntry.edi, kBlockLength) << "both offsets into the same request";
    IR_BIOS_REGS back = BlockOf(reply);
    EXPECT_EQ(back.Carry, 0u);
    EXPECT_EQ(back.Esi, static_cast<uint32_t>(atEntry.esi));
    EXPECT_NE(back.Esi, kBlockLength);
    EXPECT_EQ(back.Reserved, sent.Reserved);
    EXPECT_EQ(back.EsiIsOffset, 1u);
    EXPECT_EQ(back.EdiIsOffset, 1u);
    EXPECT_EQ(Firmware().refusedWrites, 0u);
}

// An offset must leave a whole data area (IR_BIOS_DATA_AREA bytes) of the request behind
// it; otherwise the service would be handed a pointer past the driver's copy. Such a
// request is refused like one with wrong lengths, before any search or call.
struct OffsetCase {
    const char* name;
    uint32_t length;
    uint32_t esi, esiIsOffset;
    uint32_t edi, ediIsOffset;
    bool accepted;
};

void PrintTo(const OffsetCase& c, std::ostream* os)
{
    *os << c.name;
}

class BiosCallOffsets : public BiosCallTest, public ::testing::WithParamInterface<OffsetCase> {};

TEST_P(BiosCallOffsets, MustLeaveADataAreaInsideTheRequest)
{
    const OffsetCase& c = GetParam();
    Boot(UsualService());
    IR_BIOS_REGS sent = {};
    sent.Eax = IR_BIOS_FUNCTION;
    sent.Ebx = IR_BIOS_PRODUCT_NAME;
    sent.Esi = c.esi;
    sent.EsiIsOffset = c.esiIsOffset;
    sent.Edi = c.edi;
    sent.EdiIsOffset = c.ediIsOffset;
    if (!c.esiIsOffset)
        sent.Ebx = IR_BIOS_OEM_ID;  // a plain Esi is no address the service may write to
    Reply reply = Call(sent, c.length, 0xEE);
    EXPECT_EQ(reply.ok, c.accepted);
    if (c.accepted) {
        EXPECT_EQ(reply.returned, c.length);
        EXPECT_EQ(BlockOf(reply).Carry, 0u);
        EXPECT_EQ(Firmware().calls, 1u);
    } else {
        EXPECT_EQ(reply.error, kErrorCrc);
        EXPECT_EQ(reply.returned, 0u);
        EXPECT_EQ(reply.out, std::vector<uint8_t>(c.length, 0xEE)) << "the caller's buffer untouched";
        EXPECT_EQ(Firmware().calls, 0u);
        EXPECT_TRUE(Kernel().empty()) << "refused before any search";
    }
    EXPECT_EQ(Firmware().refusedWrites, 0u) << "the service never got a pointer past the request";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BiosCallOffsets,
    ::testing::Values(
        OffsetCase{"ProductRequestExactly", 104, 40, 1, 0, 0, true},
        OffsetCase{"LongerRequest", 200, 136, 1, 0, 0, true},
        OffsetCase{"EsiIntoTheBlock", 104, 0, 1, 0, 0, true},
        OffsetCase{"EsiNotAnOffset", 40, 0xDEAD0000, 0, 0xBEEF0000, 0, true},
        OffsetCase{"EsiOneByteTooFar", 104, 41, 1, 0, 0, false},
        OffsetCase{"EsiAtTheEnd", 104, 104, 1, 0, 0, false},
        OffsetCase{"EsiPastTheEnd", 104, 4096, 1, 0, 0, false},
        OffsetCase{"EsiWrappingAround", 104, 0xFFFFFFF0, 1, 0, 0, false},
        OffsetCase{"BlockOnlyWithAnOffset", 40, 0, 1, 0, 0, false},
        OffsetCase{"EdiOneByteTooFar", 104, 40, 1, 41, 1, false},
        OffsetCase{"EdiInside", 104, 40, 1, 40, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Unloading lets go of every mapping; the next load searches afresh.
TEST_F(BiosCallTest, UnloadReleasesTheMappings)
{
    Boot(WithService(0xF0000, 0xE2345));
    ASSERT_EQ(BlockOf(Call(OemRequest())).Carry, 0u);
    ASSERT_EQ(LiveMappings(), 3u);
    machine->io.Close(file);
    file = nullptr;
    ASSERT_TRUE(machine->io.UnloadDriver("PEXACTRL"));
    EXPECT_EQ(LiveMappings(), 0u);

    ASSERT_EQ(machine->io.LoadDriver("PEXACTRL"), STATUS_SUCCESS);
    uint32_t error = 0;
    file = machine->io.Open(PEXACTRL_USER_PATH, error);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(BlockOf(Call(OemRequest())).Carry, 0u);
    EXPECT_EQ(Kernel().size(), 6u);
    EXPECT_EQ(LiveMappings(), 3u);
}

}  // namespace
}  // namespace drivertest
