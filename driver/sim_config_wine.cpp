// Parser of the simulated machine's description (format in sim_config_wine.h).
#include "sim_config_wine.h"

#include <string.h>

namespace simwine {

namespace {

const uint16_t kChipPort2E = 0x2E;
const uint16_t kChipPort4E = 0x4E;
const uint32_t kMaxPressTimeMs = 10u * 60u * 1000u;  // a test never runs longer
const size_t kOemChunkLength = 4;
const size_t kOemChunks = 4;

// A piece of the description: [begin, end).
struct Text {
    const char* begin;
    const char* end;

    size_t Length() const { return size_t(end - begin); }
    bool Empty() const { return begin == end; }
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

Text Trim(Text text)
{
    while (!text.Empty() && IsBlank(*text.begin))
        ++text.begin;
    while (!text.Empty() && IsBlank(text.end[-1]))
        --text.end;
    return text;
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool Equals(Text text, const char* word)
{
    size_t length = strlen(word);
    if (text.Length() != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (Lower(text.begin[i]) != word[i])
            return false;
    }
    return true;
}

// Splits off the next blank-separated word of `rest`.
Text NextWord(Text& rest)
{
    rest = Trim(rest);
    Text word = {rest.begin, rest.begin};
    while (word.end != rest.end && !IsBlank(*word.end))
        ++word.end;
    rest.begin = word.end;
    return word;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A hexadecimal number with or without "0x", at most `limit`.
bool ParseHex(Text text, uint32_t limit, uint32_t* value)
{
    if (text.Length() > 2 && text.begin[0] == '0' && Lower(text.begin[1]) == 'x')
        text.begin += 2;
    if (text.Empty())
        return false;
    uint32_t result = 0;
    for (const char* p = text.begin; p != text.end; ++p) {
        int digit = HexDigit(*p);
        if (digit < 0 || result > (limit - uint32_t(digit)) / 16)
            return false;
        result = result * 16 + uint32_t(digit);
    }
    *value = result;
    return true;
}

bool ParseDecimal(Text text, uint32_t limit, uint32_t* value)
{
    if (text.Empty())
        return false;
    uint32_t result = 0;
    for (const char* p = text.begin; p != text.end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        uint32_t digit = uint32_t(*p - '0');
        if (result > (limit - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    *value = result;
    return true;
}

void CopyMessage(ParseError& error, const char* message, Text detail)
{
    size_t used = 0;
    for (const char* p = message; *p != '\0' && used + 1 < ParseError::kMessageSize; ++p)
        error.message[used++] = *p;
    for (const char* p = detail.begin; p != detail.end && used + 1 < ParseError::kMessageSize; ++p)
        error.message[used++] = *p;
    error.message[used] = '\0';
}

class Parser {
public:
    Parser(hw::NotebookConfig& config, RemoteScript& script, ParseError& error)
        : config_(config), script_(script), error_(error)
    {
    }

    bool Setting(Text line)
    {
        const char* equals = line.begin;
        while (equals != line.end && *equals != '=')
            ++equals;
        if (equals == line.end)
            return Fail("expected name = value: ", line);
        Text name = Trim(Text{line.begin, equals});
        Text value = Trim(Text{equals + 1, line.end});
        if (Equals(name, "chip"))
            return Chip(value);
        if (Equals(name, "registers"))
            return Registers(value);
        if (Equals(name, "global"))
            return RegisterValue(value, config_.globalRegisters);
        if (Equals(name, "ldn5"))
            return RegisterValue(value, config_.infraredRegisters);
        if (Equals(name, "oem"))
            return Oem(value);
        if (Equals(name, "product"))
            return Product(value);
        if (Equals(name, "firmware"))
            return Firmware(value);
        if (Equals(name, "press"))
            return Press(value);
        return Fail("unknown setting: ", name);
    }

private:
    bool Fail(const char* message, Text detail)
    {
        CopyMessage(error_, message, detail);
        return false;
    }

    bool Chip(Text value)
    {
        uint32_t port = 0;
        if (Equals(value, "none"))
            config_.chipPort = 0;
        else if (ParseHex(value, 0xFFFF, &port) && (port == kChipPort2E || port == kChipPort4E))
            config_.chipPort = uint16_t(port);
        else
            return Fail("chip must be 0x2E, 0x4E or none: ", value);
        return true;
    }

    bool Registers(Text value)
    {
        if (Equals(value, "flat"))
            config_.registerModel = hw::RegisterModel::kFlat;
        else if (Equals(value, "ldn"))
            config_.registerModel = hw::RegisterModel::kLogicalDevice;
        else
            return Fail("registers must be flat or ldn: ", value);
        return true;
    }

    bool RegisterValue(Text value, uint8_t* registers)
    {
        Text rest = value;
        uint32_t index = 0;
        uint32_t content = 0;
        if (!ParseHex(NextWord(rest), 0xFF, &index) || !ParseHex(NextWord(rest), 0xFF, &content) ||
            !Trim(rest).Empty())
            return Fail("expected a register and its value in hex: ", value);
        registers[index] = uint8_t(content);
        return true;
    }

    bool Oem(Text value)
    {
        char chunks[kOemChunks][kOemChunkLength + 1] = {};
        const char* p = value.begin;
        for (size_t chunk = 0; chunk < kOemChunks; ++chunk) {
            size_t length = 0;
            while (p != value.end && *p != ',' && length < kOemChunkLength)
                chunks[chunk][length++] = *p++;
            bool last = chunk + 1 == kOemChunks;
            if (length != kOemChunkLength || (last ? p != value.end : (p == value.end || *p != ',')))
                return Fail("oem needs four chunks of four characters: ", value);
            if (!last)
                ++p;
        }
        config_.firmware.present = true;
        config_.firmware.SetOemId(chunks[0], chunks[1], chunks[2], chunks[3]);
        return true;
    }

    bool Product(Text value)
    {
        if (value.Length() >= 2 && value.begin[0] == '"' && value.end[-1] == '"')
            value = Text{value.begin + 1, value.end - 1};
        if (value.Empty() || value.Length() >= hw::bios::kProductNameSize)
            return Fail("product name empty or longer than 63 characters: ", value);
        char name[hw::bios::kProductNameSize] = {};
        memcpy(name, value.begin, value.Length());
        config_.firmware.present = true;
        config_.firmware.SetProductName(name);
        return true;
    }

    bool Firmware(Text value)
    {
        if (Equals(value, "none")) {
            config_.firmware = hw::FirmwareConfig();
        } else if (Equals(value, "garbage")) {
            config_.firmware.present = true;
            config_.firmware.answersGarbage = true;
        } else {
            return Fail("firmware must be none or garbage: ", value);
        }
        return true;
    }

    bool Press(Text value)
    {
        if (script_.count == RemoteScript::kMaxPresses)
            return Fail("too many presses", Text{value.begin, value.begin});
        RemotePress& press = script_.presses[script_.count];
        Text rest = value;
        if (!ParseDecimal(NextWord(rest), kMaxPressTimeMs, &press.atMs))
            return Fail("press needs a time in ms, then hex bytes: ", value);
        press.length = 0;
        for (Text word = NextWord(rest); !word.Empty(); word = NextWord(rest)) {
            uint32_t byte = 0;
            if (press.length == RemotePress::kMaxBytes || !ParseHex(word, 0xFF, &byte))
                return Fail("press bytes must be up to 16 hex bytes: ", value);
            press.bytes[press.length++] = uint8_t(byte);
        }
        if (press.length == 0)
            return Fail("press without bytes: ", value);
        ++script_.count;
        return true;
    }

    hw::NotebookConfig& config_;
    RemoteScript& script_;
    ParseError& error_;
};

bool EndsSetting(char c)
{
    return c == '\n' || c == ';' || c == '\0';
}

// The setting without its comment; a '#' inside quotes is part of a product name.
Text WithoutComment(Text line)
{
    bool quoted = false;
    for (const char* p = line.begin; p != line.end; ++p) {
        if (*p == '"')
            quoted = !quoted;
        else if (*p == '#' && !quoted)
            return Text{line.begin, p};
    }
    return line;
}

}  // namespace

TextWriter::TextWriter(char* out, size_t size) : out_(out), size_(size)
{
    if (size_ > 0)
        out_[0] = '\0';
}

void TextWriter::Add(const char* text)
{
    for (; *text != '\0'; ++text)
        AddChar(*text);
}

void TextWriter::AddChars(const char* text, size_t length)
{
    for (size_t i = 0; i < length && text[i] != '\0'; ++i)
        AddChar(text[i]);
}

void TextWriter::AddHexByte(uint8_t value)
{
    static const char kDigits[] = "0123456789ABCDEF";
    AddChar(kDigits[value >> 4]);
    AddChar(kDigits[value & 0x0F]);
}

void TextWriter::AddDecimal(uint64_t value)
{
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        AddChar(digits[--count]);
}

void TextWriter::AddChar(char c)
{
    if (used_ + 1 >= size_)
        return;
    out_[used_++] = c;
    out_[used_] = '\0';
}

bool ParseMachineDescription(const char* text, size_t length, hw::NotebookConfig& config,
                             RemoteScript& script, ParseError& error)
{
    Parser parser(config, script, error);
    error.line = 0;
    error.message[0] = '\0';
    const char* end = text + length;
    const char* lineStart = text;
    while (lineStart < end) {
        const char* lineEnd = lineStart;
        while (lineEnd != end && !EndsSetting(*lineEnd))
            ++lineEnd;
        ++error.line;
        Text setting = Trim(WithoutComment(Text{lineStart, lineEnd}));
        if (!setting.Empty() && !parser.Setting(setting))
            return false;
        lineStart = lineEnd + 1;
    }
    error.line = 0;
    return true;
}

void DescribeMachine(const hw::NotebookConfig& config, const RemoteScript& script, char* out,
                     size_t size)
{
    TextWriter writer(out, size);
    if (config.chipPort == 0) {
        writer.Add("no chip");
    } else {
        writer.Add("chip 0x");
        writer.AddHexByte(uint8_t(config.chipPort));
        writer.Add(config.registerModel == hw::RegisterModel::kFlat ? " flat" : " ldn");
    }
    const hw::FirmwareConfig& firmware = config.firmware;
    if (!firmware.present) {
        writer.Add(", no firmware");
    } else if (firmware.answersGarbage) {
        writer.Add(", firmware garbage");
    } else {
        writer.Add(", firmware");
        if (firmware.hasOemId) {
            writer.Add(" oem ");
            writer.AddChars(firmware.oemId, hw::bios::kOemIdLength);
        }
        if (firmware.productName[0] != '\0') {
            writer.Add(" product \"");
            writer.AddChars(firmware.productName, hw::bios::kProductNameSize);
            writer.Add("\"");
        }
    }
    writer.Add(", ");
    writer.AddDecimal(script.count);
    writer.Add(script.count == 1 ? " press" : " presses");
}

}  // namespace simwine
