// Writes the demo firmware files named in a list:
//   firmware-generator <list-file> <output-folder>
// Each list line is "<FileName> <kind> <bytes>"; blank lines and lines starting
// with '#' are skipped. Kinds:
//   xup       Program Card image of length-prefixed records as hex text;
//             <bytes> data bytes spread over records of 1 to 253 bytes
//   hex-lf    ESC colon-record text (Intel HEX layout) with LF line ends;
//             <bytes> data bytes, 16 to a line
//   hex-crlf  the same with CR LF line ends
//   blocks    ESC binary image of 24-byte blocks; <bytes> is the file length
// The content is a pattern seeded by the file name, so every build writes the
// same bytes. Any failure exits non-zero.

#include "FirmwareImages.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

struct ListEntry {
    std::string fileName;
    std::string kind;
    std::size_t bytes = 0;
};

bool ParseLine(const std::string& line, ListEntry& entry) {
    std::istringstream fields(line);
    long long bytes = -1;
    std::string rest;
    if (!(fields >> entry.fileName >> entry.kind >> bytes) || (fields >> rest) || bytes <= 0) {
        return false;
    }
    entry.bytes = static_cast<std::size_t>(bytes);
    return entry.fileName.find_first_of("/\\") == std::string::npos;
}

bool WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    file.close();
    return !file.fail();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: firmware-generator <list-file> <output-folder>\n", stderr);
        return 2;
    }
    std::ifstream list(argv[1]);
    if (!list) {
        std::fprintf(stderr, "firmware-generator: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::filesystem::path folder(argv[2]);
    std::error_code madeFolder;
    std::filesystem::create_directories(folder, madeFolder);
    if (madeFolder) {
        std::fprintf(stderr, "firmware-generator: cannot create %s\n", argv[2]);
        return 1;
    }

    std::set<std::string> written;
    std::string line;
    for (int lineNumber = 1; std::getline(list, line); ++lineNumber) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.find_first_not_of(" \t") == std::string::npos || line.front() == '#') {
            continue;
        }
        ListEntry entry;
        if (!ParseLine(line, entry)) {
            std::fprintf(stderr, "firmware-generator: %s:%d: expected \"<FileName> <kind> <bytes>\"\n",
                         argv[1], lineNumber);
            return 1;
        }
        const FirmwareImage image = MakeFirmwareImage(entry.kind, entry.fileName, entry.bytes);
        if (!image.failure.empty()) {
            std::fprintf(stderr, "firmware-generator: %s:%d: %s\n", argv[1], lineNumber,
                         image.failure.c_str());
            return 1;
        }
        const std::string fileName = entry.fileName + image.extension;
        if (!written.insert(fileName).second) {
            std::fprintf(stderr, "firmware-generator: %s:%d: %s is listed twice\n", argv[1], lineNumber,
                         fileName.c_str());
            return 1;
        }
        if (!WriteFile(folder / fileName, image.content)) {
            std::fprintf(stderr, "firmware-generator: cannot write %s\n", (folder / fileName).c_str());
            return 1;
        }
    }
    if (list.bad()) {
        std::fprintf(stderr, "firmware-generator: cannot read %s\n", argv[1]);
        return 1;
    }
    return 0;
}
