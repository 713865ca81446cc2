// Reading the public BMP suite kept beside the repository (it is not ours to copy): its files
// whole, and the expected pictures it gives as binary PPM.
#pragma once

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace suite {

const std::string folder = QUILLON_SOURCE_DIR "/../shared/bmpsuite/";

using Bytes = std::vector<unsigned char>;

inline bool readFile(const std::string& path, Bytes* bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    unsigned char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + count);
    }
    std::fclose(file);
    return true;
}

struct Picture {
    int width = 0;
    int height = 0;
    Bytes rgb;  // top row first
};

// Binary PPM with 8-bit channels; comment lines may sit between the header fields.
inline bool readPpm(const std::string& path, Picture* picture) {
    Bytes bytes;
    if (!readFile(path, &bytes) || bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') {
        return false;
    }
    size_t at = 2;
    int fields[3] = {0, 0, 0};
    for (int& field : fields) {
        while (at < bytes.size() && (std::isspace(bytes[at]) || bytes[at] == '#')) {
            if (bytes[at] == '#') {
                while (at < bytes.size() && bytes[at] != '\n') {
                    ++at;
                }
            }
            ++at;
        }
        while (at < bytes.size() && std::isdigit(bytes[at])) {
            field = 10 * field + (bytes[at++] - '0');
        }
    }
    ++at;
    picture->width = fields[0];
    picture->height = fields[1];
    size_t size = (size_t)fields[0] * fields[1] * 3;
    if (fields[2] != 255 || bytes.size() < at + size) {
        return false;
    }
    picture->rgb.assign(bytes.begin() + at, bytes.begin() + at + size);
    return true;
}

}  // namespace suite
