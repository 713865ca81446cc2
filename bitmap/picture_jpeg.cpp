// JPEG in, through libjpeg-turbo. Its errors leave by longjmp too, so the decoding state is a
// plain record and the functions it passes through hold nothing to destroy.
#include "bitmap/picture_decoders.h"

#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>

namespace {

struct JpegRead {
    jpeg_decompress_struct decoder;
    jpeg_error_mgr errors;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
    DecodeTarget* target;
    J_COLOR_SPACE colourSpace;
    JDIMENSION width;
    JDIMENSION height;
    bool tooLarge;
    bool started;
};

void onJpegError(j_common_ptr common) {
    JpegRead* read = (JpegRead*)common->client_data;
    (*common->err->format_message)(common, read->message);
    std::longjmp(read->escape, 1);
}

void onJpegMessage(j_common_ptr, int) {}

// The part that may jump: headers, surface, scanlines.
bool readUnderGuard(JpegRead* read, const unsigned char* data, std::size_t size) {
    j_decompress_ptr decoder = &read->decoder;
    if (setjmp(read->escape)) {
        return false;
    }
    jpeg_create_decompress(decoder);
    read->started = true;
    jpeg_mem_src(decoder, data, (unsigned long)size);
    if (jpeg_read_header(decoder, TRUE) != JPEG_HEADER_OK) {
        std::snprintf(read->message, sizeof read->message, "it holds no picture");
        return false;
    }
    read->colourSpace = decoder->jpeg_color_space;
    read->width = decoder->image_width;
    read->height = decoder->image_height;
    if (read->colourSpace == JCS_CMYK || read->colourSpace == JCS_YCCK) {
        return false;
    }
    bool grey = read->colourSpace == JCS_GRAYSCALE;
    decoder->out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    int bytesPerPixel = grey ? 1 : 3;
    long long bytes = surfaceByteCount((int)(read->width & 0x7fffffff),
                                       (int)(read->height & 0x7fffffff), bytesPerPixel);
    if (bytes == 0 || bytes > read->target->largestSurface) {
        read->tooLarge = true;
        return false;
    }
    NBitmap* bitmap = read->target->bitmap;
    if (grey) {
        setGreyPalette(bitmap);
    }
    if (!bitmap->create((int)read->width, (int)read->height, bytesPerPixel)) {
        std::snprintf(read->message, sizeof read->message, "no memory for the picture");
        return false;
    }
    jpeg_start_decompress(decoder);
    // The scanlines go straight into the surface: they must be exactly as long as its rows.
    if (decoder->output_components != bytesPerPixel || decoder->output_width != read->width) {
        std::snprintf(read->message, sizeof read->message, "an unexpected pixel layout");
        return false;
    }
    while (decoder->output_scanline < decoder->output_height) {
        JSAMPROW row = bitmap->rowPointer((int)decoder->output_scanline);
        jpeg_read_scanlines(decoder, &row, 1);
    }
    jpeg_finish_decompress(decoder);
    return true;
}

}  // namespace

std::string decodeJpeg(DecodeTarget* target, const unsigned char* data, std::size_t size) {
    JpegRead* read = new JpegRead{};
    read->target = target;
    read->decoder.err = jpeg_std_error(&read->errors);
    read->errors.error_exit = onJpegError;
    read->errors.emit_message = onJpegMessage;
    read->decoder.client_data = read;
    bool done = readUnderGuard(read, data, size);
    if (read->started) {
        jpeg_destroy_decompress(&read->decoder);
    }
    std::string failure;
    if (read->tooLarge) {
        failure = "a JPEG of " + std::to_string(read->width) + " x " +
                  std::to_string(read->height) + " pixels is larger than this tool handles";
    } else if (read->colourSpace == JCS_CMYK || read->colourSpace == JCS_YCCK) {
        failure = "a CMYK JPEG is not supported";
    } else if (!done) {
        failure = std::string("a JPEG that cannot be read: ") + read->message;
    }
    delete read;
    return failure;
}
