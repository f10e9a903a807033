// image-tool IN OUT: converts an image between BMP, JPEG, GIF and PNG with Movitrel's image
// library (the output's format from its extension) and prints what it read. Every format is
// there from the start: linking the library is all it takes.
#include <movitrel/image/Image.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: image-tool IN OUT\n");
        return 2;
    }
    CImage image;
    if (!image.Load(argv[1], -1) || !image.IsValid()) {
        std::fprintf(stderr, "image-tool: cannot read %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %d x %d, %d bits per pixel\n", argv[1], image.GetWidth(), image.GetHeight(),
                image.GetBitsPerPixel());

    // Written by a format object of OUT's type holding a copy of the picture.
    CImage out;
    if (!out.CreateImpl(argv[2], ImageTypeFromPath(argv[2])) ||
        !out.GetImpl()->CopyFrom(*image.GetImpl()) || !out.GetImpl()->Write(argv[2])) {
        std::fprintf(stderr, "image-tool: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("wrote %s\n", argv[2]);
    return 0;
}
