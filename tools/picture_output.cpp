#include "tools/picture_output.h"

#include "bitmap/picture_file.h"
#include "tools/tool_files.h"
#include "tools/tool_paths.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace {

// The extension of the name's last component, lower case, or "" when it has none.
std::string extensionOf(const std::string& path) {
    std::string::size_type slash = lastSeparator(path);
    std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string extension = path.substr(dot);
    for (char& c : extension) {
        c = (char)std::tolower((unsigned char)c);
    }
    return extension;
}

}  // namespace

std::string checkPictureOutputName(const std::string& path) {
    std::string extension = extensionOf(path);
    if (!extension.empty() && extension != ".bmp" && extension != ".png") {
        return "cannot write '" + path + "': the output's name must end in .bmp or .png";
    }
    return "";
}

std::string writePictureOutput(const NBitmap& picture, bool keepAlpha, const std::string& path) {
    if (extensionOf(path) != ".png") {
        return writeOutputFile(
            path, [&](std::FILE* stream) { return writeBmpToStream(picture, stream); });
    }
    std::vector<unsigned char> png;
    std::string failure = encodePng(picture, keepAlpha, &png);
    if (!failure.empty()) {
        return "cannot write '" + path + "': " + failure;
    }
    return writeOutputFile(path, [&](std::FILE* stream) {
        return std::fwrite(png.data(), 1, png.size(), stream) == png.size();
    });
}
