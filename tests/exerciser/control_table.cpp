#include "control_table.h"

#include <winioctl.h>

#include <cstdio>
#include <cstring>

#include "pexactrl.h"

namespace exerciser {

namespace {

const uint32_t kBlockLength = sizeof(IR_BIOS_REGS);
const size_t kEsiOffset = 16;
const size_t kEdiOffset = 20;
const size_t kReservedOffset = 24;
const size_t kCarryOffset = 28;
const size_t kEsiIsOffsetOffset = 32;
const size_t kEdiIsOffsetOffset = 36;
const uint32_t kEchoLength = 2;
const uint32_t kConfigLength = 1;

struct Row {
    uint32_t code;
    const char* name;
};

const Row kRows[] = {
    {IOCTL_IR_RESUMED, "RESUMED"},
    {IOCTL_IR_NOP, "NOP"},
    {IOCTL_IR_ECHO2, "ECHO2"},
    {IOCTL_IR_BIOS_CALL, "BIOS_CALL"},
    {IOCTL_IR_LEGACY_OPEN_2E, "LEGACY_OPEN_2E"},
    {IOCTL_IR_LEGACY_CLOSE_2E, "LEGACY_CLOSE_2E"},
    {IOCTL_IR_LEGACY_READ_CODE, "LEGACY_READ_CODE"},
    {IOCTL_IR_LEGACY_OPEN_4E, "LEGACY_OPEN_4E"},
    {IOCTL_IR_LEGACY_CLOSE_4E, "LEGACY_CLOSE_4E"},
    {IOCTL_IR_LEGACY_READ_CODE2, "LEGACY_READ_CODE2"},
    {IOCTL_IR_READ_CONFIG_2E, "READ_CONFIG_2E"},
    {IOCTL_IR_READ_CONFIG_4E, "READ_CONFIG_4E"},
    {IOCTL_IR_REMOTE_ON_2E, "REMOTE_ON_2E"},
    {IOCTL_IR_REMOTE_ON_4E, "REMOTE_ON_4E"},
    {IOCTL_IR_REMOTE_OFF_2E, "REMOTE_OFF_2E"},
    {IOCTL_IR_REMOTE_OFF_4E, "REMOTE_OFF_4E"},
    {IOCTL_IR_READ_CODE_2E, "READ_CODE_2E"},
    {IOCTL_IR_READ_CODE_4E, "READ_CODE_4E"},
    {IOCTL_IR_SAVE_MODE_2E, "SAVE_MODE_2E"},
    {IOCTL_IR_SAVE_MODE_4E, "SAVE_MODE_4E"},
    {IOCTL_IR_RESTORE_MODE_2E, "RESTORE_MODE_2E"},
    {IOCTL_IR_RESTORE_MODE_4E, "RESTORE_MODE_4E"},
};

uint32_t Word(const std::vector<uint8_t>& bytes, size_t at)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

Expected Succeeds(uint64_t information, bool touchesPorts)
{
    Expected e;
    e.status = kStatusSuccess;
    e.information = information;
    e.mayTouchPorts = touchesPorts;
    return e;
}

Expected DataError()
{
    Expected e;
    e.status = kStatusDeviceDataError;
    return e;
}

Expected ReadCode(bool lengthsFit)
{
    if (!lengthsFit)
        return DataError();
    Expected e = Succeeds(IR_CODE_LENGTH, true);
    e.informationMayBeZero = true;
    return e;
}

// An Esi or Edi offset must leave the service's whole data area inside the request.
bool OffsetFits(const std::vector<uint8_t>& in, size_t valueAt, size_t flagAt)
{
    if (Word(in, flagAt) == 0)
        return true;
    uint64_t offset = Word(in, valueAt);
    return offset + IR_BIOS_DATA_AREA <= in.size();
}

Expected BiosCall(const std::vector<uint8_t>& in, uint32_t outLength)
{
    if (in.size() != outLength || in.size() < kBlockLength)
        return DataError();
    if (!OffsetFits(in, kEsiOffset, kEsiIsOffsetOffset) || !OffsetFits(in, kEdiOffset, kEdiIsOffsetOffset))
        return DataError();
    return Succeeds(in.size(), false);
}

std::string Mismatch(const char* what, size_t at)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s (byte %zu)", what, at);
    return text;
}

std::string CheckBiosBlock(const std::vector<uint8_t>& in, const std::vector<uint8_t>& out,
                           bool firmwarePresent)
{
    const uint32_t carry = Word(out, kCarryOffset);
    if (carry > 1)
        return Mismatch("Carry is neither 0 nor 1", kCarryOffset);
    for (size_t at : {kReservedOffset, kEsiIsOffsetOffset, kEdiIsOffsetOffset})
        if (Word(out, at) != Word(in, at))
            return Mismatch("a field the call keeps changed", at);
    if (firmwarePresent)
        return "";
    // Without a service the request comes back as it went, but for Carry = 1.
    if (carry != 1)
        return Mismatch("Carry is not 1 without a service", kCarryOffset);
    for (size_t i = 0; i < in.size(); ++i)
        if ((i < kCarryOffset || i >= kCarryOffset + 4) && out[i] != in[i])
            return Mismatch("the request changed without a service", i);
    return "";
}

}  // namespace

const std::vector<uint32_t>& TableCodes()
{
    static const std::vector<uint32_t> codes = [] {
        std::vector<uint32_t> all;
        for (const Row& row : kRows)
            all.push_back(row.code);
        return all;
    }();
    return codes;
}

std::string CodeName(uint32_t code)
{
    for (const Row& row : kRows)
        if (row.code == code)
            return row.name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

Expected Expect(uint32_t code, const std::vector<uint8_t>& in, uint32_t outLength)
{
    const uint32_t inLength = static_cast<uint32_t>(in.size());
    switch (code) {
    case IOCTL_IR_RESUMED:
    case IOCTL_IR_NOP:
        return Succeeds(0, false);
    case IOCTL_IR_ECHO2:
        if (inLength < kEchoLength || outLength < kEchoLength)
            return DataError();
        return Succeeds(kEchoLength, false);
    case IOCTL_IR_BIOS_CALL:
        return BiosCall(in, outLength);
    case IOCTL_IR_LEGACY_OPEN_2E:
    case IOCTL_IR_LEGACY_CLOSE_2E:
    case IOCTL_IR_LEGACY_OPEN_4E:
    case IOCTL_IR_LEGACY_CLOSE_4E:
    case IOCTL_IR_REMOTE_ON_2E:
    case IOCTL_IR_REMOTE_ON_4E:
    case IOCTL_IR_REMOTE_OFF_2E:
    case IOCTL_IR_REMOTE_OFF_4E:
    case IOCTL_IR_SAVE_MODE_2E:
    case IOCTL_IR_SAVE_MODE_4E:
    case IOCTL_IR_RESTORE_MODE_2E:
    case IOCTL_IR_RESTORE_MODE_4E:
        return Succeeds(0, true);
    case IOCTL_IR_LEGACY_READ_CODE:
    case IOCTL_IR_LEGACY_READ_CODE2:
        return ReadCode(inLength == IR_CODE_LENGTH && outLength == IR_CODE_LENGTH);
    case IOCTL_IR_READ_CONFIG_2E:
    case IOCTL_IR_READ_CONFIG_4E:
        if (inLength < kConfigLength || outLength < kConfigLength)
            return DataError();
        return Succeeds(kConfigLength, true);
    case IOCTL_IR_READ_CODE_2E:
    case IOCTL_IR_READ_CODE_4E:
        return ReadCode(inLength >= IR_CODE_LENGTH && outLength >= IR_CODE_LENGTH);
    default:
        return Expected();
    }
}

std::string CheckOutput(uint32_t code, const std::vector<uint8_t>& in, const std::vector<uint8_t>& out,
                        uint32_t returned, uint8_t fill, bool firmwarePresent)
{
    for (size_t i = returned; i < out.size(); ++i)
        if (out[i] != fill)
            return Mismatch("a byte past the count returned was written", i);
    if (code == IOCTL_IR_ECHO2 && (out[0] != in[0] || out[1] != in[1]))
        return "ECHO2 did not give back the first two bytes";
    if (code == IOCTL_IR_BIOS_CALL)
        return CheckBiosBlock(in, out, firmwarePresent);
    return "";
}

}  // namespace exerciser
