// readers_test.cpp: format detection and the four readers on pictures built
// here and files from tests/data: the pixels each layout decodes to, the log
// lines and progress, what is refused and why, files that end early or hold
// corrupt data. A file that gave no picture leaves none behind, and the next
// file reads.
#include "pictures.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

static std::vector<float> progress_calls;
static void record_progress(float percent, int index)
{
    EXPECT_EQ(index, 7);   // decode() passes 7 as the progress index
    progress_calls.push_back(percent);
}

// Reads a good file with the same loader: the one before did no harm.
static void expect_next_loads(ImageLoader& loader)
{
    static const Picture next = pattern_picture(3, 3);
    decode(loader, bmp_file(next));
    EXPECT_TRUE(loader.decoded);
    EXPECT_EQ(max_difference(loader, bottom_up(next)), 0);
}

TEST(Readers, EveryLayoutDecodesToThePicture)
{
    // Top row red, green, blue, white; bottom row four greys.
    Picture small = pattern_picture(4, 2);
    small.top_down = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 10, 10, 10, 60, 60, 60, 110, 110, 110, 160, 160, 160};
    // Width 13: 39 bytes of pixels, one fill byte at every BMP row end.
    const Picture p = pattern_picture(13, 7), rgba = pattern_picture(13, 7, 4);
    struct Case {
        const char* name;   // starts with the format's
        Bytes file;
        const Picture* picture;           // null: pixels checked by the suites
        const char* log = nullptr;        // the whole log when given, else one line
        std::vector<float> progress = {};  // when given
        int tolerance = 0;
    } cases[] = {
        {"bmp", bmp_file(small), &small, "(bmp) filesize: 78, width: 4, height: 2, bpp: 24\n", {0, 50}},
        {"tga", tga_file(small), &small, "(tga) width: 4, height: 2, bpp: 24\n", {0, 100}},
        // Lossy at these sharp edges, yet rows in the wrong order would be off by far more.
        {"jpeg", jpeg_file(small), &small, "(jpeg) width: 4, height: 2\n", {50, 100}, 40},
        {"png", data_file("pngsuite/png/s04n3p01.png"), nullptr, "(png) width: 4, height: 4, bpp: 1\n", {25, 50, 75, 100}},
        {"bmp top-down", bmp_file(p, {true, 40, 0, 24, 0}), &p},
        {"bmp 108-byte header", bmp_file(p, {false, 108, 0, 24, 0}), &p},
        {"bmp 124-byte header, top-down", bmp_file(p, {true, 124, 0, 24, 0}), &p},
        {"bmp data offset past a gap", bmp_file(p, {false, 40, 1024, 24, 0}), &p},
        {"tga top-left", tga_file(p, {true, 0, 0, 24, true}), &p},
        {"tga identifier field", tga_file(p, {false, 200, 0, 24, true}), &p},
        {"tga colour map", tga_file(p, {false, 0, 256, 24, true}), &p},
        {"tga 15-bit colour map (2 bytes an entry)", tga_file(p, {false, 0, 256, 15, true}), &p},
        {"tga 32 bits", tga_file(rgba), &rgba},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLoader loader;
        if (!c.progress.empty()) loader.progress = record_progress;
        progress_calls.clear();
        Decoding run = decode(loader, c.file);
        EXPECT_TRUE(run.recognised);
        ASSERT_TRUE(loader.decoded);
        EXPECT_EQ(std::string(c.name).rfind(loader.format, 0), 0u);
        EXPECT_EQ(loader.failure, nullptr);
        EXPECT_FALSE(loader.truncated);
        EXPECT_EQ(run.errors, "");
        EXPECT_TRUE(c.log ? run.log == c.log : std::count(run.log.begin(), run.log.end(), '\n') == 1) << run.log;
        EXPECT_EQ(progress_calls, c.progress);
        EXPECT_EQ(loader.bits_per_pixel, c.picture ? c.picture->channels * 8 : 24);
        EXPECT_LE(c.picture ? max_difference(loader, bottom_up(*c.picture)) : 0, c.tolerance);
    }
}

// The offset of a JPEG marker's segment (the byte after 0xFF, code).
static size_t find_marker(const Bytes& file, uint8_t code)
{
    for (size_t i = 2; i + 1 < file.size(); i++)
        if (file[i] == 0xFF && file[i + 1] == code) return i + 2;
    return 0;
}

// Mends the checksum of the PNG chunk whose length field is at chunk.
static void mend_crc(Bytes& file, size_t chunk)
{
    uint32_t length = (uint32_t)file[chunk] << 24 | file[chunk + 1] << 16 | file[chunk + 2] << 8 | file[chunk + 3];
    uint32_t crc = (uint32_t)crc32(0, &file[chunk + 4], length + 4);
    for (int i = 0; i < 4; i++) file[chunk + 8 + length + i] = (uint8_t)(crc >> (24 - 8 * i));
}

// Each case: a file the loader recognises but gives no picture for, with the
// line that says why and the failure when it names a value.
static void expect_refused(const char* name, const Bytes& file, const std::string& line, const char* failure = nullptr)
{
    SCOPED_TRACE(name);
    ImageLoader loader;
    expect_next_loads(loader);   // a picture held before
    Decoding run = decode(loader, file);
    EXPECT_TRUE(run.recognised);
    EXPECT_FALSE(loader.decoded);
    EXPECT_EQ(loader.pixels, nullptr);
    ASSERT_NE(loader.failure, nullptr);
    EXPECT_STREQ(loader.failure, failure ? failure : loader.failure);
    // In the log, or on stderr when it is a library's.
    EXPECT_TRUE(run.log.find(line) != std::string::npos || run.errors.find(line) != std::string::npos)
        << run.log << run.errors;
    expect_next_loads(loader);
}

TEST(Readers, RefusalsSayWhy)
{
    Picture small = pattern_picture(4, 4);
    auto bmp = [&](int32_t w, int32_t h, uint32_t offset = 54) {
        Bytes f = bmp_file(small);
        memcpy(&f[10], &offset, 4);
        memcpy(&f[18], &w, 4);
        memcpy(&f[22], &h, 4);
        return f;
    };
    const char* line = "(bmp) format not supported, bpp: 8, compression: 0\n";
    expect_refused("bmp 8 bits", bmp_file(small, {false, 40, 0, 8, 0}), line, "unsupported BMP depth 8");
    line = "(bmp) format not supported, bpp: 24, compression: 1\n";
    expect_refused("bmp compressed", bmp_file(small, {false, 40, 0, 24, 1}), line, "compressed BMP (compression 1)");
    expect_refused("bmp 12-byte header", bmp_file(small, {false, 12, 0, 24, 0}), "(bmp) information header of 12");
    expect_refused("bmp data in the headers", bmp(4, 4, 53), "(bmp) pixel data offset 53 lies inside the headers\n");
    expect_refused("bmp width 0", bmp(0, 4), "(bmp) refused: invalid picture size 0 x 4\n");
    expect_refused("bmp height 0", bmp(4, 0), "(bmp) refused: invalid picture size 4 x 0\n");
    expect_refused("bmp negative width", bmp(-4, 4), "(bmp) refused: invalid picture size -4 x 4\n");
    expect_refused("bmp wide", bmp(20000, 1), "(bmp) refused: 20000 x 1 is too large");
    expect_refused("bmp most negative height", bmp(4, INT32_MIN), "(bmp) refused: 4 x 2147483648 is too large");
    expect_refused("bmp 16384 square", bmp(16384, -16384), "(bmp) refused: 16384 x 16384 is too large");
    expect_refused("bmp just over 256 MiB", bmp(16384, 5462), "(bmp) refused: 16384 x 5462 is too large");
    expect_refused("bmp suite's reallybig", data_file("bmpsuite/b/reallybig.bmp"),
                   "(bmp) filesize: 2111692253, width: 3000000, height: 2000000, bpp: 24\n(bmp) refused: 3000000 x "
                   "2000000 is too large (at most 16384 pixels a side, 256 MiB)\n",
                   "too large (3000000 x 2000000)");

    auto tga = [&](uint16_t w, uint16_t h, uint8_t bits, uint8_t type = 2) {
        Bytes f = tga_file(small);
        memcpy(&f[12], &w, 2);
        memcpy(&f[14], &h, 2);
        f[16] = bits;
        f[2] = type;
        return f;
    };
    expect_refused("tga 16 bits", tga(4, 4, 16), "(tga) width: 4, height: 4, bpp: 16\n(tga) WARNING: tga-loading "
                   "for BPP < 24 not implemented!\n", "unsupported TGA depth 16");
    expect_refused("tga colour-mapped", tga(4, 4, 24, 1), "(tga) image type 1 at 24 bits per pixel not supported\n");
    expect_refused("tga width 0", tga(0, 4, 24), "(tga) refused: invalid picture size 0 x 4\n");
    expect_refused("tga height 0", tga(4, 0, 32), "(tga) refused: invalid picture size 4 x 0\n");
    expect_refused("tga wide", tga(65535, 1, 24), "(tga) refused: 65535 x 1 is too large");
    expect_refused("tga 16384 x 4097 at 32 bits", tga(16384, 4097, 32), "(tga) refused: 16384 x 4097 is too large");

    auto jpeg = [&](uint16_t w, uint16_t h) {
        Bytes f = jpeg_file(small);
        size_t sof = find_marker(f, 0xC0);
        uint8_t size[4] = {(uint8_t)(h >> 8), (uint8_t)h, (uint8_t)(w >> 8), (uint8_t)w};
        memcpy(&f[sof + 3], size, 4);
        return f;
    };
    expect_refused("jpeg cmyk", jpeg_file(small, true), "(jpeg) width: 4, height: 4\n(jpeg) colour space CMYK not supported\n");
    expect_refused("jpeg wide", jpeg(20000, 4), "(jpeg) refused: 20000 x 4 is too large");
    expect_refused("jpeg 10000 square", jpeg(10000, 10000), "(jpeg) refused: 10000 x 10000 is too large");
    expect_refused("jpeg width 0", jpeg(0, 4), "Empty JPEG image");

    auto png = [&](uint32_t w, uint32_t h) {
        Bytes f = data_file("pngsuite/png/basn6a08.png");   // RGBA
        uint8_t size[8] = {(uint8_t)(w >> 24), (uint8_t)(w >> 16), (uint8_t)(w >> 8), (uint8_t)w,
                           (uint8_t)(h >> 24), (uint8_t)(h >> 16), (uint8_t)(h >> 8), (uint8_t)h};
        memcpy(&f[16], size, 8);
        mend_crc(f, 8);
        return f;
    };
    expect_refused("png width 0", png(0, 4), "(png) refused: invalid picture size 0 x 4\n");
    expect_refused("png tall", png(4, 20000), "(png) refused: 4 x 20000 is too large");
    expect_refused("png beyond 31 bits", png(0x80000000u, 1), "(png) refused: 2147483648 x 1 is too large");
    // Within the limit as RGB, beyond it as the RGBA it decodes to.
    expect_refused("png 9000 square RGBA", png(9000, 9000), "(png) refused: 9000 x 9000 is too large");

    // Errors of libjpeg and libpng on corrupt data.
    Bytes good = jpeg_file(pattern_picture(32, 32)), f = good;
    f[find_marker(good, 0xC0) + 2] = 12;
    expect_refused("jpeg 12-bit precision", f, "Unsupported JPEG data precision 12", "corrupt data");
    f = good;
    std::fill_n(&f[find_marker(good, 0xC4) + 3], 16, 0xFF);   // more codes than a table can hold
    expect_refused("jpeg bad Huffman table", f, "Bogus Huffman table definition", "corrupt data");
    f.assign(good.begin(), good.begin() + (long)find_marker(good, 0xDB) - 2);
    f.insert(f.end(), {0xFF, 0xD9});   // end of image before any frame
    expect_refused("jpeg without a frame", f, "JPEG datastream contains no image", "corrupt data");
    good = data_file("pngsuite/png/basn2c08.png");
    size_t idat = (size_t)(std::search(good.begin(), good.end(), "IDAT", "IDAT" + 4) - good.begin()) - 4;
    f = good;
    f[idat + 12] ^= 0x55;
    expect_refused("png checksum", f, "libpng error: IDAT: ", "corrupt data");
    std::fill_n(&f[idat + 10], 16, 0xA5);   // past the zlib header, with its checksum mended
    mend_crc(f, idat);
    expect_refused("png bad compressed data", f, "libpng error: IDAT: ", "corrupt data");
}

TEST(Readers, DetectionOrderAndSilentRefusals)
{
    ImageLoader loader;
    const Bytes footer = tga_tail();
    // "BM" wins over a TGA footer.
    Bytes bmp = bmp_file(pattern_picture(4, 4));
    bmp.insert(bmp.end(), footer.begin(), footer.end());
    EXPECT_TRUE(decode(loader, bmp).recognised);
    EXPECT_STREQ(loader.format, "bmp");
    EXPECT_TRUE(loader.decoded);

    // An Exif JPEG has no "JFIF" at bytes 6 to 9, a TGA without the 2.0
    // footer none either; and files shorter than the tests need match nothing.
    Bytes exif = jpeg_file(pattern_picture(8, 8));
    ASSERT_EQ(memcmp(&exif[6], "JFIF", 4), 0);
    memcpy(&exif[6], "Exif", 4);
    for (const Bytes& file : {exif, tga_file(pattern_picture(4, 4), {false, 0, 0, 24, false}), Bytes{}, Bytes{'B'},
                              Bytes{0, 0, 0, 0, 0, 0, 'J', 'F', 'I'}, Bytes{137, 80, 78, 71}}) {
        Decoding run = decode(loader, file);
        EXPECT_FALSE(run.recognised);
        EXPECT_EQ(run.log + run.errors, "");
        EXPECT_EQ(loader.format, nullptr);
        EXPECT_FALSE(loader.decoded);
        EXPECT_EQ(loader.pixels, nullptr);
        EXPECT_STREQ(loader.failure, "unknown format");
    }
    // Just the footer: a TGA without a header.
    EXPECT_TRUE(decode(loader, footer).recognised);
    EXPECT_STREQ(loader.format, "tga");
    EXPECT_FALSE(loader.decoded);
}

// A one-scan JPEG cut short: libjpeg's first warning only, the top rows (the
// end of the buffer) as in the whole file, black below, at most one band of 8
// rows between.
static void expect_black_below_cut(const ImageLoader& loader, const Bytes& full, const Decoding& run)
{
    EXPECT_EQ(run.errors, "Premature end of JPEG file\n");
    size_t row = loader.width * 3, real = 0, black = 0;
    while (real < loader.height && !memcmp(&loader.pixels[full.size() - (real + 1) * row], &full[full.size() - (real + 1) * row], row))
        real++;
    while (black < loader.height && std::all_of(&loader.pixels[black * row], &loader.pixels[(black + 1) * row], [](uint8_t v) { return !v; }))
        black++;
    // Cut before the first scan, there is nothing to keep: libjpeg makes up every row.
    EXPECT_TRUE(real + black == 0 || real + black >= loader.height - 8) << real << " real, " << black << " black";
}

TEST(Readers, FilesCutAtManyLengths)
{
    auto bare = [](Bytes tga) { return Bytes(tga.begin(), tga.end() - 26); };
    struct Case {
        const char* name;
        Bytes file;
        int tga;   // 1, 2: a tail goes back after the cut, naming it as extension area, developer directory
    } cases[] = {
        {"bmp", bmp_file(pattern_picture(13, 7)), 0},
        {"tga", bare(tga_file(pattern_picture(13, 7, 4))), 1},
        {"tga rle", bare(data_file("pictures/photo-rle-top.tga")), 2},
        {"jpeg", data_file("pictures/photo-444.jpg"), 0},
        {"jpeg progressive", data_file("pictures/photo-progressive.jpg"), 0},
        {"png", data_file("pngsuite/png/basn2c08.png"), 0},
        {"png interlaced", data_file("pngsuite/png/basi6a08.png"), 0},
    };
    for (const Case& c : cases) {
        auto with_tail = [&](Bytes file) {
            Bytes tail = tga_tail(file.size() < 18 ? 0 : (uint32_t)file.size(), c.tga == 2);   // never inside the header
            if (c.tga) file.insert(file.end(), tail.begin(), tail.end());
            return file;
        };
        ImageLoader loader;
        decode(loader, with_tail(c.file));
        ASSERT_TRUE(loader.decoded) << c.name;
        const unsigned channels = loader.bits_per_pixel / 8u;
        const Bytes full(loader.pixels, loader.pixels + (size_t)loader.width * loader.height * channels);

        // Every length near both ends (the last row's fill bytes), a sample between.
        size_t size = c.file.size(), step = std::max<size_t>(1, size / 150);
        for (size_t length = 0; length < size; length += (length < 64 || length + step >= size ? 1 : step)) {
            SCOPED_TRACE(std::string(c.name) + " cut at " + std::to_string(length) + " of " + std::to_string(size));
            Decoding run = decode(loader, with_tail(Bytes(c.file.begin(), c.file.begin() + (long)length)));
            if (!run.recognised) {
                EXPECT_EQ(run.log, "");   // too short to be told apart from any other file
                EXPECT_EQ(loader.pixels, nullptr);
            } else if (!loader.decoded) {
                EXPECT_EQ(loader.pixels, nullptr);
                EXPECT_NE(loader.failure, nullptr);
                bool reason = !run.errors.empty();
                for (const char* why : {"ends inside the header", "refused", "not supported", "WARNING"})
                    reason = reason || run.log.find(why) != std::string::npos;
                EXPECT_TRUE(reason) << "no reason given: " << run.log;
            } else if (loader.truncated) {
                EXPECT_NE(run.log.find("file ends early, the picture is incomplete\n"), std::string::npos) << run.log;
                // Every pixel is the whole file's or zero (JPEG blocks arrive blurred).
                for (size_t i = 0; c.name[0] != 'j' && i < full.size(); i += channels) {
                    bool zero = std::all_of(loader.pixels + i, loader.pixels + i + channels, [](uint8_t v) { return !v; });
                    ASSERT_TRUE(zero || memcmp(loader.pixels + i, &full[i], channels) == 0) << "pixel " << i / channels;
                }
                if (c.name == std::string("jpeg")) expect_black_below_cut(loader, full, run);
            } else {
                EXPECT_EQ(max_difference(loader, full), 0);   // only fill bytes after the last pixel were missing
            }
            expect_next_loads(loader);
        }
    }
}
