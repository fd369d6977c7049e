#pragma once

#include <cstddef>
#include <string>

// One generated firmware file: its extension and its bytes, or why it could
// not be made.
struct FirmwareImage {
    std::string extension;
    std::string content;
    std::string failure;
};

// Makes the file of the given kind ("xup", "hex-lf", "hex-crlf", "blocks")
// with content seeded by seedText, so the same arguments always give the
// same bytes.
FirmwareImage MakeFirmwareImage(const std::string& kind, const std::string& seedText, std::size_t bytes);
