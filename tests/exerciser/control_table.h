// What PEXACTRL must answer to a device-control request, from its control-code table:
// the status and information count for any code and buffer lengths, whether the request
// may touch a port, and what its output bytes must hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace exerciser {

const int32_t kStatusSuccess = 0;
const int32_t kStatusInvalidDeviceRequest = static_cast<int32_t>(0xC0000010u);
const int32_t kStatusDeviceDataError = static_cast<int32_t>(0xC000009Cu);

struct Expected {
    int32_t status = kStatusInvalidDeviceRequest;
    uint64_t information = 0;
    bool informationMayBeZero = false;  // a read-code request finds nothing waiting
    bool mayTouchPorts = false;
};

// The codes of the table, in table order.
const std::vector<uint32_t>& TableCodes();
std::string CodeName(uint32_t code);

// `in` is the caller's input, the request's bytes on entry.
Expected Expect(uint32_t code, const std::vector<uint8_t>& in, uint32_t outLength);

// Checks the bytes a successful request gave back (`out`, `returned` of them filled by the
// driver, the rest as the caller left them: `fill`). Empty when they are sound; otherwise
// what is wrong.
std::string CheckOutput(uint32_t code, const std::vector<uint8_t>& in, const std::vector<uint8_t>& out,
                        uint32_t returned, uint8_t fill, bool firmwarePresent);

}  // namespace exerciser
