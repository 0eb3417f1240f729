// padart: draws every picture resource of VextKey and writes it under the given folder
// (normally src/res), together with the pad layout strings.
#include "Artwork.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: padart OUTPUT_DIR\n");
        return 2;
    }
    std::string error;
    if (!vext::padart::WriteAllArtwork(argv[1], error)) {
        std::fprintf(stderr, "padart: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
