#include "tools/texture_check.h"

#include "bitmap/nbitmap.h"
#include "bitmap/picture_file.h"
#include "tools/tool_files.h"

#include <vector>

namespace {

// What the file is, for a picture the program's BMP reader refuses.
std::string describePicture(const std::vector<unsigned char>& bytes) {
    if (bytes.size() >= 30 && bytes[0] == 'B' && bytes[1] == 'M') {
        return "a " + std::to_string(bytes[28] | bytes[29] << 8) +
               "-bit BMP, which the program does not read (it reads 8, 16, 24 and 32 bits)";
    }
    NBitmap probe = {};
    PictureImport import = importPicture(&probe, bytes.data(), bytes.size());
    probe.destroy();
    return import.read() ? "a picture that is not a BMP" : import.failure;
}

}  // namespace

std::string textureProblem(const std::string& folder, const std::string& shownAs) {
    std::string where = "marquetile.bmp in '" + shownAs + "'";
    std::vector<unsigned char> bytes;
    std::string failure = readRegularFile(folder + "/marquetile.bmp", &bytes);
    if (!failure.empty()) {
        return where + ": " + failure.substr(failure.rfind(": ") + 2);
    }
    NBitmap texture = {};
    bool read = readBmpFromMemory(&texture, bytes.data(), bytes.size());
    texture.destroy();
    return read ? "" : where + " is " + describePicture(bytes);
}
