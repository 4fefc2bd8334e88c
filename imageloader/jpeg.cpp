// jpeg.cpp: the JPEG reader, through libjpeg (6b interface): baseline and
// progressive JFIF pictures in colour (YCbCr or RGB) or greyscale, both
// decoded to RGB (or, in texture layout, to libjpeg-turbo's BGRA). CMYK and
// YCCK are refused. A fatal libjpeg error prints libjpeg's message on stderr
// as its standard error manager would (through library_message), then this
// file is abandoned (no picture) and the program goes on. Warnings keep
// libjpeg's standard handling (the first one is printed). When the file ends
// early, the rows libjpeg makes up after the last data are left black.
// Depends on libjpeg and reader.h.
#include "image_loader.h"
#include "reader.h"

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// libjpeg's standard error manager, with the way out of a fatal error
// replaced, and a note of where the file ran out.
struct JpegErrors {
    jpeg_error_mgr standard;   // first: libjpeg hands out a pointer to it
    void (*standard_emit)(j_common_ptr, int);
    jmp_buf abandon;
    bool decoding_rows;        // inside the scanline loop
    bool ended_early;
    long ended_in_row;         // the iMCU row being decoded then, or -1 before the scanlines
};

// libjpeg's own output_message, but through library_message.
void print_message(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    library_message("%s\n", text);
}

[[noreturn]] void abandon_file(j_common_ptr cinfo)
{
    (*cinfo->err->output_message)(cinfo);
    longjmp(((JpegErrors*)cinfo->err)->abandon, 1);
}

void note_message(j_common_ptr cinfo, int level)
{
    JpegErrors* errors = (JpegErrors*)cinfo->err;
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF && !errors->ended_early) {
        errors->ended_early = true;
        errors->ended_in_row = errors->decoding_rows ? (long)((j_decompress_ptr)cinfo)->input_iMCU_row : -1;
    }
    errors->standard_emit(cinfo, level);
}

const char* colour_space_name(J_COLOR_SPACE space)
{
    switch (space) {
    case JCS_CMYK: return "CMYK";
    case JCS_YCCK: return "YCCK";
    default: return "unknown";
    }
}

// Everything between setjmp and the end of decoding lives here, in a function
// without objects that have destructors: a libjpeg error leaves by longjmp.
void decode_jpeg(ImageLoader* loader, FILE* file, int index)
{
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.standard);
    errors.standard_emit = errors.standard.emit_message;
    errors.standard.error_exit = abandon_file;
    errors.standard.emit_message = note_message;
    errors.standard.output_message = print_message;
    errors.decoding_rows = false;
    errors.ended_early = false;
    errors.ended_in_row = -1;
    uint8_t* volatile picture = nullptr;

    if (setjmp(errors.abandon)) {
        jpeg_destroy_decompress(&cinfo);
        delete[] picture;
        set_failure(loader, "corrupt data");
        return;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    loader->width = cinfo.image_width;
    loader->height = cinfo.image_height;
    loader->bits_per_pixel = 24;
    loader_printf("(jpeg) width: %d, height: %d\n", (int)cinfo.image_width, (int)cinfo.image_height);

    if (cinfo.jpeg_color_space != JCS_YCbCr && cinfo.jpeg_color_space != JCS_RGB &&
        cinfo.jpeg_color_space != JCS_GRAYSCALE) {
        loader_printf("(jpeg) colour space %s not supported\n", colour_space_name(cinfo.jpeg_color_space));
        set_failure(loader, "unsupported JPEG colour space %s", colour_space_name(cinfo.jpeg_color_space));
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    // Before jpeg_start_decompress, which allocates for the whole picture.
    if (!check_picture_size(loader, "jpeg", cinfo.image_width, cinfo.image_height, 3)) {
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    cinfo.out_color_space = JCS_RGB;   // greyscale too
    unsigned bytes = buffer_bytes(loader, 3);
    if (bytes == 4) cinfo.out_color_space = JCS_EXT_BGRA;   // alpha 255
    jpeg_start_decompress(&cinfo);
    uint32_t w = cinfo.output_width, h = cinfo.output_height;
    picture = allocate_picture(loader, "jpeg", w, h, bytes);
    if (!picture) {
        jpeg_destroy_decompress(&cinfo);
        return;
    }

    // The top scanline goes to the last row of the buffer. A single-scan
    // file that runs out stops after the iMCU row it ran out in: what
    // libjpeg would make up below that stays black. Without a progress hook
    // libjpeg may hand out several rows a call.
    uint32_t rows_per_imcu = (uint32_t)(cinfo.max_v_samp_factor * cinfo.min_DCT_scaled_size);
    uint32_t stop = h;
    uint32_t batch = loader->progress ? 1 : 16;
    errors.decoding_rows = true;
    while (cinfo.output_scanline < stop) {
        JSAMPROW rows[16];
        uint32_t want = stop - cinfo.output_scanline < batch ? stop - cinfo.output_scanline : batch;
        for (uint32_t i = 0; i < want; i++)
            rows[i] = picture + (size_t)(h - 1 - cinfo.output_scanline - i) * w * bytes;
        jpeg_read_scanlines(&cinfo, rows, want);
        report_progress(loader, cinfo.output_scanline, h, index);
        if (errors.ended_early && errors.ended_in_row >= 0 && stop == h) {
            uint64_t last = ((uint64_t)errors.ended_in_row + 1) * rows_per_imcu;
            if (last < h) stop = (uint32_t)last;
        }
    }
    if (stop < h) {
        clear_unwritten(picture, w, h, bytes, true, (uint64_t)stop * w);
        jpeg_abort_decompress(&cinfo);
    } else
        jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (errors.ended_early) report_truncated(loader, "jpeg");
    loader->pixels = picture;
}

}  // namespace

void ImageLoader::read_jpeg(FILE* file, int index) { decode_jpeg(this, file, index); }
