// readers_test.cpp: format detection and the four readers on pictures built
// here: the bytes each one decodes to, the log lines it prints, the progress
// it reports, and what it refuses.
#include "pictures.h"

#include <gtest/gtest.h>

#include <cstring>

static std::vector<std::pair<float, int>> progress_calls;
static void record_progress(float percent, int index) { progress_calls.push_back({percent, index}); }

static std::vector<float> progress_values()
{
    std::vector<float> values;
    for (auto& call : progress_calls) {
        EXPECT_EQ(call.second, 7);   // decode() passes 7 as the progress index
        values.push_back(call.first);
    }
    return values;
}

// A 4 x 2 picture: top row red, green, blue, white; bottom row four greys.
static Picture four_by_two()
{
    Picture p;
    p.width = 4;
    p.height = 2;
    p.top_down = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255,
                  10, 10, 10, 60, 60, 60, 110, 110, 110, 160, 160, 160};
    return p;
}

TEST(Bmp, FourByTwoExample)
{
    ImageLoader loader;
    loader.progress = record_progress;
    progress_calls.clear();
    Bytes file = bmp_file(four_by_two());
    ASSERT_EQ(file.size(), 78u);
    Decoding run = decode(loader, file);
    EXPECT_TRUE(run.recognised);
    EXPECT_EQ(run.log, "(bmp) filesize: 78, width: 4, height: 2, bpp: 24\n");
    EXPECT_STREQ(loader.format, "bmp");
    ASSERT_TRUE(loader.decoded);
    EXPECT_EQ(loader.failure, nullptr);
    EXPECT_EQ(loader.width, 4u);
    EXPECT_EQ(loader.height, 2u);
    EXPECT_EQ(loader.bits_per_pixel, 24);
    // Bottom row first, red-green-blue.
    const uint8_t expected[24] = {10, 10, 10, 60, 60, 60, 110, 110, 110, 160, 160, 160,
                                  255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    EXPECT_EQ(memcmp(loader.pixels, expected, 24), 0);
    EXPECT_EQ(progress_values(), (std::vector<float>{0, 50}));
}

TEST(Bmp, LayoutsDecodeToTheSamePixels)
{
    // Width 13: 39 bytes of pixels, one fill byte at every row end.
    Picture picture = pattern_picture(13, 7);
    const Bytes expected = bottom_up(picture);
    struct Case {
        const char* name;
        BmpOptions options;
    } cases[] = {
        {"bottom-up, 40-byte header", {}},
        {"top-down", {true, 40, 0, 24, 0}},
        {"108-byte header", {false, 108, 0, 24, 0}},
        {"124-byte header, top-down", {true, 124, 0, 24, 0}},
        {"data offset past a gap", {false, 40, 1024, 24, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLoader loader;
        Decoding run = decode(loader, bmp_file(picture, c.options));
        ASSERT_TRUE(loader.decoded);
        EXPECT_FALSE(loader.truncated);
        EXPECT_EQ(loader.height, 7u);
        EXPECT_EQ(max_difference(loader, expected), 0);
        EXPECT_EQ(std::count(run.log.begin(), run.log.end(), '\n'), 1);
    }
}

TEST(Bmp, OtherDepthsAndCompressionAreRefusedLeavingTheFields)
{
    ImageLoader loader;
    decode(loader, bmp_file(four_by_two()));
    ASSERT_TRUE(loader.decoded);

    Decoding run = decode(loader, bmp_file(pattern_picture(9, 5), {false, 40, 0, 8, 0}));
    EXPECT_TRUE(run.recognised);
    EXPECT_EQ(run.log, "(bmp) filesize: 194, width: 9, height: 5, bpp: 8\n"
                       "(bmp) format not supported, bpp: 8, compression: 0\n");
    EXPECT_FALSE(loader.decoded);
    EXPECT_EQ(loader.pixels, nullptr);
    EXPECT_STREQ(loader.failure, "unsupported BMP depth 8");
    EXPECT_EQ(loader.width, 4u);
    EXPECT_EQ(loader.height, 2u);
    EXPECT_EQ(loader.bits_per_pixel, 24);

    run = decode(loader, bmp_file(pattern_picture(9, 5), {false, 40, 0, 24, 1}));
    EXPECT_NE(run.log.find("(bmp) format not supported, bpp: 24, compression: 1\n"), std::string::npos);
    EXPECT_FALSE(loader.decoded);
    EXPECT_STREQ(loader.failure, "compressed BMP (compression 1)");
    EXPECT_EQ(loader.width, 4u);

    run = decode(loader, bmp_file(pattern_picture(9, 5), {false, 12, 0, 24, 0}));
    EXPECT_NE(run.log.find("(bmp) information header of 12 bytes not supported\n"), std::string::npos);
    EXPECT_FALSE(loader.decoded);
}

TEST(Tga, IdentifierFieldAndColourMapAreSkipped)
{
    Picture picture = pattern_picture(5, 3);
    ImageLoader loader;
    TgaOptions with_id;
    with_id.id_length = 200;
    Bytes file = tga_file(picture, with_id);
    ASSERT_EQ(file.size(), 218u + 45 + 26);
    decode(loader, file);
    ASSERT_TRUE(loader.decoded);
    EXPECT_EQ(max_difference(loader, bottom_up(picture)), 0);

    TgaOptions with_map;
    with_map.map_length = 256;
    with_map.map_entry_bits = 24;
    file = tga_file(picture, with_map);
    ASSERT_EQ(file.size(), 18u + 768 + 45 + 26);
    decode(loader, file);
    ASSERT_TRUE(loader.decoded);
    EXPECT_EQ(max_difference(loader, bottom_up(picture)), 0);

    // 15-bit entries take two bytes each.
    with_map.map_entry_bits = 15;
    decode(loader, tga_file(picture, with_map));
    EXPECT_EQ(max_difference(loader, bottom_up(picture)), 0);
}

TEST(Tga, ThirtyTwoBitsKeepAlphaAndProgressIsReportedTwice)
{
    Picture picture = pattern_picture(6, 4, 4);
    ImageLoader loader;
    loader.progress = record_progress;
    progress_calls.clear();
    Decoding run = decode(loader, tga_file(picture));
    EXPECT_EQ(run.log, "(tga) width: 6, height: 4, bpp: 32\n");
    ASSERT_TRUE(loader.decoded);
    EXPECT_EQ(loader.bits_per_pixel, 32);
    EXPECT_EQ(max_difference(loader, bottom_up(picture)), 0);
    EXPECT_EQ(progress_values(), (std::vector<float>{0, 100}));
}

TEST(Tga, BelowTwentyFourBitsWarnsAndGivesNoPicture)
{
    Bytes file = tga_file(pattern_picture(4, 4));
    file[16] = 16;
    ImageLoader loader;
    Decoding run = decode(loader, file);
    EXPECT_TRUE(run.recognised);
    EXPECT_EQ(run.log, "(tga) width: 4, height: 4, bpp: 16\n"
                       "(tga) WARNING: tga-loading for BPP < 24 not implemented!\n");
    EXPECT_FALSE(loader.decoded);
    EXPECT_EQ(loader.pixels, nullptr);
    EXPECT_STREQ(loader.failure, "unsupported TGA depth 16");

    file[16] = 24;
    file[2] = 1;   // colour-mapped
    run = decode(loader, file);
    EXPECT_NE(run.log.find("(tga) image type 1 at 24 bits per pixel not supported\n"), std::string::npos);
    EXPECT_FALSE(loader.decoded);
}

TEST(Jpeg, FourByTwoExampleIsFlippedWithProgress)
{
    ImageLoader loader;
    loader.progress = record_progress;
    progress_calls.clear();
    Decoding run = decode(loader, jpeg_file(four_by_two()));
    EXPECT_EQ(run.log, "(jpeg) width: 4, height: 2\n");
    EXPECT_EQ(run.errors, "");
    ASSERT_TRUE(loader.decoded);
    EXPECT_STREQ(loader.format, "jpeg");
    EXPECT_EQ(loader.bits_per_pixel, 24);
    // JPEG is lossy at these sharp edges: the rows must still be told apart.
    EXPECT_LE(max_difference(loader, bottom_up(four_by_two())), 40);
    for (int i = 0; i < 12; i++) EXPECT_LT(loader.pixels[i], 200) << "bottom row (greys) first";
    EXPECT_EQ(progress_values(), (std::vector<float>{50, 100}));
}

TEST(Jpeg, ProgressiveAndGreyscaleDecodeToRgb)
{
    Picture picture = smooth_picture(40, 24);
    ImageLoader loader;
    decode(loader, jpeg_file(picture));
    ASSERT_TRUE(loader.decoded);
    Bytes baseline(loader.pixels, loader.pixels + 40 * 24 * 3);
    EXPECT_LE(max_difference(loader, bottom_up(picture)), 6);

    JpegOptions progressive;
    progressive.progressive = true;
    decode(loader, jpeg_file(picture, progressive));
    ASSERT_TRUE(loader.decoded);
    EXPECT_LE(max_difference(loader, baseline), 2);

    JpegOptions grey;
    grey.greyscale = true;
    decode(loader, jpeg_file(picture, grey));
    ASSERT_TRUE(loader.decoded);
    EXPECT_EQ(loader.bits_per_pixel, 24);
    for (uint32_t y = 0; y < 24; y++) {
        const uint8_t* px = loader.pixels + (size_t)(23 - y) * 40 * 3;
        EXPECT_EQ(px[0], px[1]);
        EXPECT_EQ(px[0], px[2]);
        EXPECT_NEAR(px[0], picture.pixel(0, y)[0], 6);
    }
}

TEST(Jpeg, CmykIsRefused)
{
    JpegOptions cmyk;
    cmyk.cmyk = true;
    ImageLoader loader;
    Decoding run = decode(loader, jpeg_file(smooth_picture(16, 16), cmyk));
    EXPECT_TRUE(run.recognised);
    EXPECT_EQ(run.log, "(jpeg) width: 16, height: 16\n(jpeg) colour space CMYK not supported\n");
    EXPECT_FALSE(loader.decoded);
    EXPECT_EQ(loader.pixels, nullptr);
}

TEST(Png, RgbAndRgbaWithProgressPerRow)
{
    Picture rgba = pattern_picture(5, 4, 4);
    ImageLoader loader;
    loader.progress = record_progress;
    progress_calls.clear();
    Decoding run = decode(loader, png_file(rgba));
    EXPECT_EQ(run.log, "(png) width: 5, height: 4, bpp: 32\n");
    ASSERT_TRUE(loader.decoded);
    EXPECT_STREQ(loader.format, "png");
    EXPECT_EQ(loader.bits_per_pixel, 32);
    EXPECT_EQ(max_difference(loader, bottom_up(rgba)), 0);
    EXPECT_EQ(progress_values(), (std::vector<float>{25, 50, 75, 100}));

    Picture rgb = pattern_picture(5, 4);
    run = decode(loader, png_file(rgb));
    EXPECT_EQ(run.log, "(png) width: 5, height: 4, bpp: 24\n");
    EXPECT_EQ(loader.bits_per_pixel, 24);
    EXPECT_EQ(max_difference(loader, bottom_up(rgb)), 0);

    decode(loader, png_file(rgb, true));
    EXPECT_EQ(max_difference(loader, bottom_up(rgb)), 0) << "interlaced";
}

TEST(AllFormats, OnePictureDecodesToTheSamePixels)
{
    Picture picture = pattern_picture(13, 7);
    const Bytes expected = bottom_up(picture);
    struct Case {
        const char* name;
        Bytes file;
    };
    TgaOptions rle, top, rle_top;
    rle.rle = true;
    top.top_origin = true;
    rle_top.rle = rle_top.top_origin = true;
    BmpOptions top_down;
    top_down.top_down = true;
    std::vector<Case> cases = {
        {"bmp", bmp_file(picture)},          {"bmp top-down", bmp_file(picture, top_down)},
        {"tga", tga_file(picture)},          {"tga rle", tga_file(picture, rle)},
        {"tga top-left", tga_file(picture, top)}, {"tga rle top-left", tga_file(picture, rle_top)},
        {"png", png_file(picture)},          {"png interlaced", png_file(picture, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLoader loader;
        decode(loader, c.file);
        ASSERT_TRUE(loader.decoded);
        EXPECT_EQ(loader.width, 13u);
        EXPECT_EQ(loader.height, 7u);
        EXPECT_EQ(max_difference(loader, expected), 0);
    }

    // JPEG within a tolerance, on a picture without sharp edges.
    Picture smooth = smooth_picture(13, 7);
    Bytes smooth_expected = bottom_up(smooth);
    for (const Bytes& file : {bmp_file(smooth), tga_file(smooth, rle_top), png_file(smooth)}) {
        ImageLoader loader;
        decode(loader, file);
        EXPECT_EQ(max_difference(loader, smooth_expected), 0);
    }
    ImageLoader loader;
    decode(loader, jpeg_file(smooth));
    ASSERT_TRUE(loader.decoded);
    EXPECT_LE(max_difference(loader, smooth_expected), 6);

    // RGBA: TGA and PNG agree.
    Picture rgba = pattern_picture(13, 7, 4);
    for (const Bytes& file : {tga_file(rgba), tga_file(rgba, rle_top), png_file(rgba, true)}) {
        decode(loader, file);
        EXPECT_EQ(loader.bits_per_pixel, 32);
        EXPECT_EQ(max_difference(loader, bottom_up(rgba)), 0);
    }
}

TEST(Detection, OrderAndSilentRefusals)
{
    ImageLoader loader;
    Bytes tga_tail = tga_footer();

    // "BM" wins over a TGA footer.
    Bytes bmp = bmp_file(pattern_picture(4, 4));
    bmp.insert(bmp.end(), tga_tail.begin(), tga_tail.end());
    Decoding run = decode(loader, bmp);
    EXPECT_TRUE(run.recognised);
    EXPECT_STREQ(loader.format, "bmp");
    EXPECT_TRUE(loader.decoded);

    // An Exif JPEG has no "JFIF" at bytes 6 to 9: refused without a word.
    JpegOptions exif;
    exif.exif = true;
    Bytes exif_jpeg = jpeg_file(smooth_picture(8, 8), exif);
    ASSERT_EQ(memcmp(&exif_jpeg[6], "Exif", 4), 0);
    run = decode(loader, exif_jpeg);
    EXPECT_FALSE(run.recognised);
    EXPECT_EQ(run.log, "");
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(loader.format, nullptr);
    EXPECT_FALSE(loader.decoded);
    EXPECT_STREQ(loader.failure, "unknown format");

    // A TGA without the 2.0 footer likewise.
    TgaOptions no_footer;
    no_footer.footer = false;
    run = decode(loader, tga_file(pattern_picture(4, 4), no_footer));
    EXPECT_FALSE(run.recognised);
    EXPECT_EQ(run.log, "");

    // Files shorter than the tests need match nothing they do not hold.
    for (const Bytes& tiny : {Bytes{}, Bytes{'B'}, Bytes{0, 0, 0, 0, 0, 0, 'J', 'F', 'I'}, Bytes{137, 80, 78, 71}}) {
        run = decode(loader, tiny);
        EXPECT_FALSE(run.recognised);
        EXPECT_EQ(run.log, "");
    }
    // Just the footer: a TGA without a header.
    run = decode(loader, tga_tail);
    EXPECT_TRUE(run.recognised);
    EXPECT_STREQ(loader.format, "tga");
    EXPECT_FALSE(loader.decoded);
}

TEST(Detection, ReadingAFileByPathClosesItAndForgetsTheLastPicture)
{
    std::string path = scratch_file("four.bmp", bmp_file(four_by_two()));
    ImageLoader loader;
    FILE* saved = loader_log;
    loader_log = nullptr;
    EXPECT_TRUE(loader.read_image(path.c_str(), 0));
    EXPECT_TRUE(loader.decoded);
    // A second read without an upload in between releases the first buffer.
    std::string unknown = scratch_file("unknown.bin", Bytes(100, 'x'));
    EXPECT_FALSE(loader.read_image(unknown.c_str(), 0));
    EXPECT_EQ(loader.pixels, nullptr);
    EXPECT_FALSE(loader.decoded);
    loader_log = saved;
}
