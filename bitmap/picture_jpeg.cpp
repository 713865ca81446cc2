// JPEG in, through libjpeg-turbo. Its errors leave by longjmp too, so the decoding state is a
// plain record and the functions it passes through hold nothing to destroy. Its warnings never
// reach stderr: they are gathered here and handed to the caller, who tells the user.
#include "bitmap/picture_decoders.h"

#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include <jerror.h>

#include <csetjmp>

namespace {

// Pictures have a few scans (libjpeg's own progressive colour ones have ten), but every scan,
// even one without data, walks every block of the picture: a small file of thousands of empty
// scans would take minutes.
constexpr int MostScans = 1000;
// Warnings kept apart; past these, and for a repeat of one, they are only counted.
constexpr int MostWarningKinds = 8;

struct JpegWarning {
    int code;
    int count;
    char text[JMSG_LENGTH_MAX];
};

// Where the input ran out before the end marker, when it did.
struct JpegEnd {
    bool reached;
    bool inScanData;  // in the middle of a scan's data, whose missing blocks are then zero
    int scan;
    long long rowsWhole;  // rows before the interleaved row of blocks the data ran out in
};

struct JpegRead {
    jpeg_decompress_struct decoder;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
    DecodeTarget* target;
    J_COLOR_SPACE colourSpace;
    JDIMENSION width;
    JDIMENSION height;
    long long coefficientBytes;
    bool tooLarge;
    bool tooManyScans;
    bool outOfWorkingMemory;
    bool started;
    JpegEnd end;
    JpegWarning warnings[MostWarningKinds];
    int warningKinds;
    int warningsUnkept;
};

void onJpegError(j_common_ptr common) {
    JpegRead* read = (JpegRead*)common->client_data;
    (*common->err->format_message)(common, read->message);
    // The memory manager asks for a file to hold what does not fit the bound it was given.
    read->outOfWorkingMemory = common->err->msg_code == JERR_NO_BACKING_STORE;
    std::longjmp(read->escape, 1);
}

void keepWarning(JpegRead* read, int code) {
    for (int i = 0; i < read->warningKinds; ++i) {
        if (read->warnings[i].code == code) {
            ++read->warnings[i].count;
            return;
        }
    }
    if (read->warningKinds == MostWarningKinds) {
        ++read->warningsUnkept;
        return;
    }
    JpegWarning& warning = read->warnings[read->warningKinds++];
    warning.code = code;
    warning.count = 1;
    (*read->errors.format_message)((j_common_ptr)&read->decoder, warning.text);
}

void noteWhereTheDataRanOut(JpegRead* read) {
    j_decompress_ptr decoder = &read->decoder;
    read->end.inScanData = true;
    read->end.scan = decoder->input_scan_number;
    read->end.rowsWhole = (long long)decoder->input_iMCU_row * decoder->max_v_samp_factor * DCTSIZE;
}

// Levels of 0 and up are traces. The input running out is told as the rows it leaves grey: it
// is the end of the input, then a scan that wants more data than is left.
void onJpegMessage(j_common_ptr common, int level) {
    if (level >= 0) {
        return;
    }
    JpegRead* read = (JpegRead*)common->client_data;
    int code = common->err->msg_code;
    if (code == JWRN_JPEG_EOF) {
        read->end.reached = true;
    }
    if (code == JWRN_HIT_MARKER && read->end.reached && !read->end.inScanData) {
        noteWhereTheDataRanOut(read);
        return;
    }
    keepWarning(read, code);
}

// libjpeg calls this at least once a scan while it takes in a picture's scans.
void onJpegProgress(j_common_ptr common) {
    JpegRead* read = (JpegRead*)common->client_data;
    if (read->decoder.input_scan_number > MostScans) {
        read->tooManyScans = true;
        std::longjmp(read->escape, 1);
    }
}

// What libjpeg holds for a picture whose scans it must take in whole before the first row
// comes out: every coefficient, two bytes each, in whole blocks of each component's sampling.
long long coefficientBytesOf(j_decompress_ptr decoder) {
    long long bytes = 0;
    for (int c = 0; c < decoder->num_components; ++c) {
        const jpeg_component_info& component = decoder->comp_info[c];
        long long across = component.width_in_blocks + component.h_samp_factor - 1;
        long long down = component.height_in_blocks + component.v_samp_factor - 1;
        across -= across % component.h_samp_factor;
        down -= down % component.v_samp_factor;
        bytes += across * down * DCTSIZE2 * (long long)sizeof(JCOEF);
    }
    return bytes;
}

// The part that may jump: headers, scans, surface, scanlines.
bool readUnderGuard(JpegRead* read, const unsigned char* data, std::size_t size) {
    j_decompress_ptr decoder = &read->decoder;
    if (setjmp(read->escape)) {
        return false;
    }
    jpeg_create_decompress(decoder);
    read->started = true;
    // A picture in several scans keeps its coefficients until the last scan is in; they are
    // bounded as the surface is.
    decoder->mem->max_memory_to_use = (long)read->target->largestSurface;
    decoder->progress = &read->progress;
    jpeg_mem_src(decoder, data, (unsigned long)size);
    if (jpeg_read_header(decoder, TRUE) != JPEG_HEADER_OK) {
        std::snprintf(read->message, sizeof read->message, "it holds no picture");
        return false;
    }
    read->colourSpace = decoder->jpeg_color_space;
    read->width = decoder->image_width;
    read->height = decoder->image_height;
    read->coefficientBytes = coefficientBytesOf(decoder);
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
    jpeg_start_decompress(decoder);
    // The scanlines go straight into the surface: they must be exactly as long as its rows.
    if (decoder->output_components != bytesPerPixel || decoder->output_width != read->width) {
        std::snprintf(read->message, sizeof read->message, "an unexpected pixel layout");
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
    while (decoder->output_scanline < decoder->output_height) {
        JSAMPROW row = bitmap->rowPointer((int)decoder->output_scanline);
        jpeg_read_scanlines(decoder, &row, 1);
    }
    jpeg_finish_decompress(decoder);
    return true;
}

std::string whereItEnds(const JpegRead& read) {
    long long rows = read.height;
    long long lacking = rows - (read.end.rowsWhole < rows ? read.end.rowsWhole : rows);
    std::string counted = std::to_string(lacking) + " of " + std::to_string(rows) + " rows";
    // Before its first scan is in, a picture has no colour at all.
    if (read.end.scan <= 1) {
        return "ends early: the last " + counted + " are grey (the first of them in part)";
    }
    return "ends early in its scan " + std::to_string(read.end.scan) + ": the last " + counted +
           " lack that scan's detail";
}

// One line a kind of warning, for a picture that was read.
void passOnWarnings(const JpegRead& read, std::vector<std::string>* warnings) {
    if (read.end.inScanData) {
        warnings->push_back(whereItEnds(read));
    }
    for (int i = 0; i < read.warningKinds; ++i) {
        const JpegWarning& warning = read.warnings[i];
        if (warning.code == JWRN_JPEG_EOF && read.end.inScanData) {
            continue;
        }
        std::string line = std::string("makes libjpeg warn: ") + warning.text;
        if (warning.count > 1) {
            line += " (" + std::to_string(warning.count) + " times)";
        }
        warnings->push_back(line);
    }
    if (read.warningsUnkept > 0) {
        warnings->push_back("makes libjpeg warn " + std::to_string(read.warningsUnkept) +
                            " times more");
    }
}

std::string megabytes(long long bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

std::string failureOf(const JpegRead& read, bool done) {
    std::string size = std::to_string(read.width) + " x " + std::to_string(read.height);
    if (read.tooLarge) {
        return "a JPEG of " + size + " pixels is larger than this tool handles";
    }
    if (read.colourSpace == JCS_CMYK || read.colourSpace == JCS_YCCK) {
        return "a CMYK JPEG is not supported";
    }
    if (read.tooManyScans) {
        return "a JPEG of more than " + std::to_string(MostScans) + " scans is not supported";
    }
    if (read.outOfWorkingMemory) {
        return "a JPEG of " + size + " pixels in several scans needs " +
               megabytes(read.coefficientBytes) + " to decode; this tool allows " +
               megabytes(read.target->largestSurface);
    }
    if (!done) {
        return std::string("a JPEG that cannot be read: ") + read.message;
    }
    return "";
}

}  // namespace

std::string decodeJpeg(DecodeTarget* target, const unsigned char* data, std::size_t size) {
    JpegRead* read = new JpegRead{};
    read->target = target;
    read->decoder.err = jpeg_std_error(&read->errors);
    read->errors.error_exit = onJpegError;
    read->errors.emit_message = onJpegMessage;
    read->progress.progress_monitor = onJpegProgress;
    read->decoder.client_data = read;
    bool done = readUnderGuard(read, data, size);
    if (read->started) {
        jpeg_destroy_decompress(&read->decoder);
    }
    std::string failure = failureOf(*read, done);
    if (failure.empty()) {
        passOnWarnings(*read, &target->warnings);
    }
    delete read;
    return failure;
}
