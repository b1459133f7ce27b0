#include "hardware_config.h"

#include <set>

#include "scenario.h"

namespace pexasim {

namespace {

[[noreturn]] void Error(const std::string& where, const std::string& what)
{
    throw ScenarioError(where + ": " + what);
}

void CheckKeys(const sim::Json& object, const std::set<std::string>& keys, const std::string& where)
{
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!keys.count(it.key()))
            Error(where + "." + it.key(), "unknown setting");
}

// {"0x25": "0xFE", ...}: start values of chip registers.
void ParseRegisterValues(const sim::Json& values, uint8_t* registers, const std::string& where)
{
    if (!values.is_object())
        Error(where, "must map register numbers to values");
    for (auto it = values.begin(); it != values.end(); ++it) {
        uint64_t index = ParseNumber(sim::Json(it.key()), where + "." + it.key());
        uint64_t value = ParseNumber(it.value(), where + "." + it.key());
        if (index >= static_cast<uint64_t>(hw::NotebookConfig::kRegisterCount) || value > 0xFF)
            Error(where + "." + it.key(), "register and value are bytes");
        registers[index] = static_cast<uint8_t>(value);
    }
}

void ParseSuperIo(const sim::Json& chip, hw::NotebookConfig& config)
{
    const std::string where = "machine.superio";
    if (chip.is_null()) {
        config.chipPort = 0;
        return;
    }
    if (!chip.is_object())
        Error(where, "must be null or {\"port\": \"0x2E\"|\"0x4E\", \"registers\": \"flat\"|\"ldn\"}");
    CheckKeys(chip, {"port", "registers", "values", "ldn5", "stuck_data_ready"}, where);
    if (chip.contains("port")) {
        uint64_t port = ParseNumber(chip["port"], where + ".port");
        if (port != 0x2E && port != 0x4E)
            Error(where + ".port", "the chip sits at 0x2E or 0x4E");
        config.chipPort = static_cast<uint16_t>(port);
    }
    if (chip.contains("registers")) {
        const sim::Json& model = chip["registers"];
        if (model == "flat")
            config.registerModel = hw::RegisterModel::kFlat;
        else if (model == "ldn")
            config.registerModel = hw::RegisterModel::kLogicalDevice;
        else
            Error(where + ".registers", "must be \"flat\" or \"ldn\"");
    }
    if (chip.contains("values"))
        ParseRegisterValues(chip["values"], config.globalRegisters, where + ".values");
    if (chip.contains("ldn5"))
        ParseRegisterValues(chip["ldn5"], config.infraredRegisters, where + ".ldn5");
    if (chip.contains("stuck_data_ready")) {
        if (!chip["stuck_data_ready"].is_boolean())
            Error(where + ".stuck_data_ready", "must be true or false");
        config.uartStuckDataReady = chip["stuck_data_ready"].get<bool>();
    }
}

void ParseFirmware(const sim::Json& firmware, hw::FirmwareConfig& config)
{
    const std::string where = "machine.firmware";
    if (firmware.is_null()) {
        config.present = false;
        return;
    }
    if (!firmware.is_object())
        Error(where, "must be null, {\"oem\": [four chunks]} or {\"product\": \"name\"}");
    CheckKeys(firmware, {"oem", "product", "header", "entry", "garbage"}, where);
    config.present = true;
    if (firmware.contains("oem")) {
        const sim::Json& oem = firmware["oem"];
        if (!oem.is_array() || oem.size() != 4)
            Error(where + ".oem", "must be four chunks of four characters");
        std::string chunks[4];
        for (size_t i = 0; i < 4; ++i) {
            if (!oem[i].is_string() || oem[i].get<std::string>().size() != 4)
                Error(where + ".oem[" + std::to_string(i) + "]", "must be four characters");
            chunks[i] = oem[i];
        }
        config.SetOemId(chunks[0].c_str(), chunks[1].c_str(), chunks[2].c_str(), chunks[3].c_str());
    }
    if (firmware.contains("product")) {
        if (!firmware["product"].is_string())
            Error(where + ".product", "must be text");
        config.SetProductName(firmware["product"].get<std::string>().c_str());
    }
    if (firmware.contains("header")) {
        uint64_t header = ParseNumber(firmware["header"], where + ".header");
        if (header < 0xF0000 || header > 0xFFFF0)
            Error(where + ".header", "the header lies between 0xF0000 and 0xFFFF0");
        config.headerAddress = static_cast<uint32_t>(header);
    }
    if (firmware.contains("entry")) {
        uint64_t entry = ParseNumber(firmware["entry"], where + ".entry");
        if (entry > 0xFFFFF || entry < 0x1000)
            Error(where + ".entry", "the entry lies in the first megabyte, above 0x1000");
        config.entryAddress = static_cast<uint32_t>(entry);
    }
    if (firmware.contains("garbage"))
        config.answersGarbage = firmware["garbage"].get<bool>();
}

}  // namespace

void ParseHardware(const sim::Json& machine, hw::NotebookConfig& config)
{
    if (machine.contains("superio"))
        ParseSuperIo(machine["superio"], config);
    if (machine.contains("firmware"))
        ParseFirmware(machine["firmware"], config.firmware);
}

}  // namespace pexasim
