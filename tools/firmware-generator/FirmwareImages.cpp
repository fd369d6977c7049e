#include "FirmwareImages.h"

#include <cstdint>

namespace {

constexpr std::size_t maxRecordData = 253;          // a record of L + 2 bytes fits one 255-byte packet
constexpr std::size_t maxProgramCardImage = 131072; // the Program Card image buffer
constexpr std::size_t hexLineData = 16;
constexpr std::size_t maxHexData = 65536; // plain 16-bit addresses, no extended records
constexpr std::size_t blockSize = 24;

// xorshift32 seeded with the FNV-1a hash of a text: small, portable and the
// same on every machine.
class Pattern {
public:
    explicit Pattern(const std::string& seedText) {
        state = 2166136261u;
        for (unsigned char c : seedText) {
            state = (state ^ c) * 16777619u;
        }
        if (state == 0) {
            state = 1;
        }
    }

    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }

    std::uint8_t NextByte() { return static_cast<std::uint8_t>(Next() >> 24); }

private:
    std::uint32_t state;
};

void AppendHex(std::string& text, std::uint8_t byte) {
    static constexpr char digits[] = "0123456789ABCDEF";
    text.push_back(digits[byte >> 4]);
    text.push_back(digits[byte & 0x0F]);
}

FirmwareImage Failure(const std::string& failure) {
    return {{}, {}, failure};
}

// Hex text of records, each a big-endian 16-bit length L then L data bytes.
FirmwareImage ProgramCardRecords(Pattern& pattern, std::size_t dataBytes) {
    std::string text;
    std::size_t imageBytes = 0;
    for (std::size_t left = dataBytes; left > 0;) {
        std::size_t length = pattern.Next() % maxRecordData + 1;
        if (length > left) {
            length = left;
        }
        AppendHex(text, static_cast<std::uint8_t>(length >> 8));
        AppendHex(text, static_cast<std::uint8_t>(length & 0xFF));
        for (std::size_t i = 0; i < length; ++i) {
            AppendHex(text, pattern.NextByte());
        }
        imageBytes += length + 2;
        left -= length;
    }
    if (imageBytes > maxProgramCardImage) {
        return Failure("a Program Card image holds at most 131072 bytes");
    }
    return {".xup", text, {}};
}

// Intel HEX data records from address 0, then the end-of-file record.
FirmwareImage EscRecords(Pattern& pattern, std::size_t dataBytes, const std::string& lineEnd) {
    if (dataBytes > maxHexData) {
        return Failure("colon-record files hold at most 65536 data bytes here");
    }
    std::string text;
    for (std::size_t address = 0; address < dataBytes; address += hexLineData) {
        const std::size_t length = dataBytes - address < hexLineData ? dataBytes - address : hexLineData;
        std::uint8_t record[4 + hexLineData] = {static_cast<std::uint8_t>(length),
                                                static_cast<std::uint8_t>(address >> 8),
                                                static_cast<std::uint8_t>(address & 0xFF), 0x00};
        for (std::size_t i = 0; i < length; ++i) {
            record[4 + i] = pattern.NextByte();
        }
        std::uint8_t sum = 0;
        text.push_back(':');
        for (std::size_t i = 0; i < 4 + length; ++i) {
            AppendHex(text, record[i]);
            sum = static_cast<std::uint8_t>(sum + record[i]);
        }
        AppendHex(text, static_cast<std::uint8_t>(-sum));
        text += lineEnd;
    }
    text += ":00000001FF" + lineEnd;
    return {".zvc", text, {}};
}

FirmwareImage EscBlocks(Pattern& pattern, std::size_t fileBytes) {
    if (fileBytes % blockSize != 0) {
        return Failure("a block image is a whole number of 24-byte blocks");
    }
    std::string content;
    for (std::size_t i = 0; i < fileBytes; ++i) {
        content.push_back(static_cast<char>(pattern.NextByte()));
    }
    return {".zvc", content, {}};
}

} // namespace

FirmwareImage MakeFirmwareImage(const std::string& kind, const std::string& seedText, std::size_t bytes) {
    if (bytes == 0) {
        return Failure("a firmware file needs at least one byte");
    }
    Pattern pattern(seedText);
    if (kind == "xup") {
        return ProgramCardRecords(pattern, bytes);
    }
    if (kind == "hex-lf") {
        return EscRecords(pattern, bytes, "\n");
    }
    if (kind == "hex-crlf") {
        return EscRecords(pattern, bytes, "\r\n");
    }
    if (kind == "blocks") {
        return EscBlocks(pattern, bytes);
    }
    return Failure("unknown kind \"" + kind + "\" (xup, hex-lf, hex-crlf or blocks)");
}
