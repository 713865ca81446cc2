// Writes the tests' hostile pictures into a folder, for the tool's test and the fuzzers' seeds.
//
//   make_test_pictures FOLDER
#include "tests/pictures/picture_recipes.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_pictures FOLDER\n");
        return 2;
    }
    for (const recipes::NamedPicture& picture : recipes::hostilePictures()) {
        std::string path = std::string(argv[1]) + "/" + picture.name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        bool written = file != nullptr && std::fwrite(picture.bytes.data(), 1, picture.bytes.size(),
                                                      file) == picture.bytes.size();
        if (file == nullptr || std::fclose(file) != 0 || !written) {
            std::fprintf(stderr, "make_test_pictures: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
