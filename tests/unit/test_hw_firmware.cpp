// The firmware: physical memory, the service header and the service call.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "sim/hw/firmware.h"
#include "sim/hw/notebook.h"

namespace {

using hw::BiosRegisters;
using hw::Firmware;
using hw::FirmwareConfig;

FirmwareConfig Present(uint32_t header, uint32_t entry)
{
    FirmwareConfig config;
    config.present = true;
    config.headerAddress = header;
    config.entryAddress = entry;
    return config;
}

// The search a driver makes: 16-byte steps through the BIOS area.
bool FindHeader(const Firmware& firmware, uint32_t* header, uint32_t* entry)
{
    for (uint32_t at = 0xF0000; at <= 0xFFFF0; at += 16) {
        uint8_t bytes[9];
        if (firmware.ReadPhysical(at, bytes, sizeof(bytes)) && memcmp(bytes, "B!U0", 4) == 0) {
            *header = at;
            *entry = bytes[5] | bytes[6] << 8 | bytes[7] << 16 | uint32_t(bytes[8]) << 24;
            return true;
        }
    }
    return false;
}

BiosRegisters Registers(uint32_t eax, uint32_t ebx, uintptr_t esi = 0)
{
    return BiosRegisters{eax, ebx, 0x1111, 0x2222, esi, 0x3333, 0x4444, false};
}

bool SameRegisters(const BiosRegisters& a, const BiosRegisters& b)
{
    return a.eax == b.eax && a.ebx == b.ebx && a.ecx == b.ecx && a.edx == b.edx &&
           a.esi == b.esi && a.edi == b.edi && a.ebp == b.ebp;
}

class HwFirmware : public testing::Test {
protected:
    Firmware& Configure(const FirmwareConfig& config)
    {
        firmware->Configure(config);
        return *firmware;
    }
    std::unique_ptr<Firmware> firmware = std::make_unique<Firmware>();
};

TEST_F(HwFirmware, HeaderIsFoundOnlyWhereTheSearchLooks)
{
    struct Row {
        bool present;
        uint32_t header, entry;
        bool found;
    };
    const Row rows[] = {
        {false, 0xFE410, 0xFE5A0, false},
        {true, 0xFE410, 0xFE5A0, true},
        {true, 0xF0000, 0xE2345, true},
        {true, 0xFFFF0, 0xFFFF8, true},
        {true, 0xFE418, 0xFE5A0, false},  // not on a 16-byte boundary
        {true, 0xFFFF8, 0xFE5A0, false},  // would run past the end of memory
    };
    for (const Row& row : rows) {
        FirmwareConfig config = Present(row.header, row.entry);
        config.present = row.present;
        Configure(config);
        uint32_t header = 0, entry = 0;
        EXPECT_EQ(FindHeader(*firmware, &header, &entry), row.found) << std::hex << row.header;
        if (row.found) {
            EXPECT_EQ(header, row.header);
            EXPECT_EQ(entry, row.entry);
        }
    }
    Configure(Present(0xFE418, 0xFE5A0));
    uint8_t bytes[4];
    ASSERT_TRUE(firmware->ReadPhysical(0xFE418, bytes, 4));
    EXPECT_EQ(memcmp(bytes, "B!U0", 4), 0);
}

TEST_F(HwFirmware, PhysicalMemoryCoversDataAreaRomAndTheEntryPage)
{
    Configure(Present(0xFE410, 0xE2345));
    struct Row {
        uint64_t address;
        size_t length;
        bool readable;
    };
    const Row rows[] = {
        {0x400, 0x10000, true},    // the 64 KB handed to the service
        {0xF0000, 0x10000, true},  // the BIOS area
        {0xE0000, 0x4000, true},   // the entry's 16 KB page
        {0xE4000, 1, false},
        {0xDFFFF, 2, false},
        {0x13FFF, 2, false},
        {0xFFFFF, 2, false},
        {0x100000, 1, false},
    };
    uint8_t buffer[0x10000];
    for (const Row& row : rows)
        EXPECT_EQ(firmware->ReadPhysical(row.address, buffer, row.length), row.readable)
            << std::hex << row.address;

    Configure(Present(0xFE410, 0xFE5A0));
    EXPECT_FALSE(firmware->ReadPhysical(0xE0000, buffer, 1));
}

TEST_F(HwFirmware, MappingsAreLiveAndTranslateBack)
{
    Configure(Present(0xFE410, 0xE2345));
    hw::PhysicalMemory& memory = firmware->memory();
    uint8_t* window = memory.Map(0xF0000, 0x10000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(memcmp(window + 0xE410, "B!U0", 4), 0);
    uint8_t* page = memory.Map(0xE0000, 0x4000);
    ASSERT_NE(page, nullptr);
    uint64_t physical = 0;
    ASSERT_TRUE(memory.AddressOf(page + 0x2345, &physical));
    EXPECT_EQ(physical, 0xE2345u);
    EXPECT_EQ(memory.Map(0xEF000, 0x2000), nullptr);
    EXPECT_EQ(memory.Map(0xFC000, 0x8000), nullptr);  // runs past the ROM

    uint8_t* data = memory.Map(0x400, 0x10000);
    ASSERT_NE(data, nullptr);
    data[0] = 0xF8;
    uint8_t back = 0;
    ASSERT_TRUE(firmware->ReadPhysical(0x400, &back, 1));
    EXPECT_EQ(back, 0xF8);
    int local = 0;
    EXPECT_FALSE(memory.AddressOf(&local, &physical));
}

TEST(HwFirmwareService, PackChunkPutsTheFirstCharacterHighest)
{
    EXPECT_EQ(hw::bios::PackChunk("abcd"), 0x61626364u);
    EXPECT_EQ(hw::bios::PackChunk("_Tov"), 0x5F546F76u);
}

TEST_F(HwFirmware, OemIdComesBackInFourRegisters)
{
    FirmwareConfig config = Present(0xFE410, 0xFE5A0);
    config.SetOemId("_J57", "____", "_Vol", "d___");
    Configure(config);
    BiosRegisters r = Registers(0x9610, 0x200);
    firmware->Call(0xFE5A0, r);
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(r.eax, hw::bios::PackChunk("_J57"));
    EXPECT_EQ(r.ebx, hw::bios::PackChunk("____"));
    EXPECT_EQ(r.ecx, hw::bios::PackChunk("_Vol"));
    EXPECT_EQ(r.edx, hw::bios::PackChunk("d___"));
    EXPECT_EQ(firmware->record().lastAtEntry.ebx, 0x200u);
}

TEST_F(HwFirmware, ProductNameIsWrittenWithItsNul)
{
    FirmwareConfig config = Present(0xF0000, 0xE2345);
    config.SetProductName("Skerry 21   ");
    Configure(config);
    char area[64];
    memset(area, 0x7E, sizeof(area));
    BiosRegisters r = Registers(0x9610, 0x0C, reinterpret_cast<uintptr_t>(area));
    firmware->Call(0xE2345, r);
    EXPECT_FALSE(r.carry);
    EXPECT_STREQ(area, "Skerry 21   ");
    EXPECT_EQ(area[13], 0x7E);  // nothing written past the NUL

    config.SetProductName(std::string(80, 'N').c_str());
    Configure(config);
    memset(area, 0x7E, sizeof(area));
    firmware->Call(0xE2345, r);
    EXPECT_EQ(std::strlen(area), 63u);
}

TEST_F(HwFirmware, AnythingElseSetsCarryAndChangesNothing)
{
    FirmwareConfig withNothing = Present(0xFE410, 0xFE5A0);
    FirmwareConfig withBoth = withNothing;
    withBoth.SetOemId("_Tov", "____", "_Lum", "____");
    withBoth.SetProductName("Skerry 46");
    char area[64] = {};
    struct Row {
        const FirmwareConfig* config;
        uint64_t callAt;
        uint32_t eax, ebx;
        uintptr_t esi;
        bool wrongEntry;
        bool refusedWrite;
    };
    const Row rows[] = {
        {&withBoth, 0xFE5A0, 0x9610, 0x201, 0, false, false},   // unknown subfunction
        {&withBoth, 0xFE5A0, 0x9611, 0x200, 0, false, false},   // unknown function
        {&withBoth, 0xFE5A0, 0x19610, 0x200, 0, false, false},
        {&withNothing, 0xFE5A0, 0x9610, 0x200, 0, false, false},  // machine has no OEM id
        {&withNothing, 0xFE5A0, 0x9610, 0x0C, reinterpret_cast<uintptr_t>(area), false, false},
        {&withBoth, 0xFE5A0, 0x9610, 0x0C, 40, false, true},    // an offset, not an address
        {&withBoth, 0xFE5A1, 0x9610, 0x200, 0, true, false},    // not the entry
        {&withBoth, 0xFE410, 0x9610, 0x200, 0, true, false},
    };
    for (const Row& row : rows) {
        Configure(*row.config);
        BiosRegisters before = Registers(row.eax, row.ebx, row.esi);
        BiosRegisters r = before;
        firmware->Call(row.callAt, r);
        EXPECT_TRUE(r.carry) << std::hex << row.callAt << " " << row.eax << " " << row.ebx;
        EXPECT_TRUE(SameRegisters(r, before));
        EXPECT_EQ(firmware->record().wrongEntryCalls, row.wrongEntry ? 1u : 0u);
        EXPECT_EQ(firmware->record().refusedWrites, row.refusedWrite ? 1u : 0u);
        EXPECT_EQ(area[0], 0);
    }
}

TEST_F(HwFirmware, AbsentFirmwareHasNoEntry)
{
    Configure(FirmwareConfig());
    BiosRegisters r = Registers(0x9610, 0x200);
    firmware->Call(FirmwareConfig::kDefaultEntryAddress, r);
    EXPECT_TRUE(r.carry);
    EXPECT_EQ(firmware->record().wrongEntryCalls, 1u);
}

bool OnlyInto(void* context, uintptr_t address, size_t length)
{
    auto* area = static_cast<char*>(context);
    uintptr_t start = reinterpret_cast<uintptr_t>(area);
    return address >= start && address + length <= start + 64;
}

TEST_F(HwFirmware, MemoryCheckDecidesWhereTheNameMayGo)
{
    FirmwareConfig config = Present(0xFE410, 0xFE5A0);
    config.SetProductName("Skerry 46");
    Configure(config);
    char area[64] = {};
    firmware->SetMemoryCheck(&OnlyInto, area);

    BiosRegisters r = Registers(0x9610, 0x0C, reinterpret_cast<uintptr_t>(area + 60));
    firmware->Call(0xFE5A0, r);
    EXPECT_TRUE(r.carry);  // 10 bytes do not fit in the last 4
    EXPECT_EQ(firmware->record().refusedWrites, 1u);

    r = Registers(0x9610, 0x0C, reinterpret_cast<uintptr_t>(area + 2));
    firmware->Call(0xFE5A0, r);
    EXPECT_FALSE(r.carry);
    EXPECT_STREQ(area + 2, "Skerry 46");
}

TEST_F(HwFirmware, GarbageModeAnswersNonsenseWithCarryClear)
{
    FirmwareConfig config = Present(0xFE410, 0xFE5A0);
    config.answersGarbage = true;
    Configure(config);
    BiosRegisters r = Registers(0x9610, 0x200);
    firmware->Call(0xFE5A0, r);
    EXPECT_FALSE(r.carry);
    EXPECT_NE(r.eax, 0x9610u);

    char area[65];
    area[64] = 'Z';
    r = Registers(0x9610, 0x0C, reinterpret_cast<uintptr_t>(area));
    firmware->Call(0xFE5A0, r);
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(memchr(area, 0, 64), nullptr);  // no NUL anywhere in the 64 bytes
    EXPECT_EQ(area[64], 'Z');
}

TEST(HwFirmwareNotebook, NotebookCarriesTheConfiguredFirmware)
{
    hw::Clock clock;
    hw::NotebookConfig config;
    EXPECT_FALSE(config.firmware.present);
    config.firmware = Present(0xFD000, 0xFD010);
    config.firmware.SetOemId("_J33", "____", "_Vol", "d___");
    auto notebook = std::make_unique<hw::Notebook>(clock, config);
    uint32_t header = 0, entry = 0;
    ASSERT_TRUE(FindHeader(notebook->firmware(), &header, &entry));
    BiosRegisters r = Registers(0x9610, 0x200);
    notebook->firmware().Call(entry, r);
    EXPECT_FALSE(r.carry);
    EXPECT_EQ(r.eax, hw::bios::PackChunk("_J33"));
}

}  // namespace
