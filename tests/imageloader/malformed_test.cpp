// malformed_test.cpp: files that end early, sizes that are zero or huge,
// corrupt compressed data, and every crasher the fuzzer ever found. Each must
// give a clear line, no crash, no stale or uninitialised picture, and leave
// the loader able to read the next file.
#include "pictures.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <dirent.h>

#include <algorithm>
#include <cstring>

// A line that says why no picture came: the reader's own or a library's.
static bool has_reason(const Decoding& run)
{
    return !run.errors.empty() || run.log.find("ends inside the header") != std::string::npos ||
           run.log.find("refused") != std::string::npos || run.log.find("not supported") != std::string::npos ||
           run.log.find("WARNING") != std::string::npos;
}

// Reads a good file with the same loader: the one before did no harm.
static void expect_next_loads(ImageLoader& loader)
{
    static const Picture next = pattern_picture(3, 3);
    decode(loader, png_file(next));
    EXPECT_TRUE(loader.decoded);
    EXPECT_EQ(max_difference(loader, bottom_up(next)), 0);
}

// Every pixel of a cut-short decode is the full decode's pixel or zero.
static void expect_real_or_zero(const ImageLoader& loader, const Bytes& full, unsigned channels)
{
    size_t size = (size_t)loader.width * loader.height * channels;
    ASSERT_EQ(size, full.size());
    for (size_t i = 0; i < size; i += channels) {
        bool real = memcmp(loader.pixels + i, &full[i], channels) == 0;
        bool zero = std::all_of(loader.pixels + i, loader.pixels + i + channels, [](uint8_t v) { return v == 0; });
        ASSERT_TRUE(real || zero) << "pixel " << i / channels;
    }
}

TEST(Truncated, EveryFormatCutAtManyLengths)
{
    Picture picture = pattern_picture(13, 7);
    Picture rgba = pattern_picture(13, 7, 4);
    Picture smooth = smooth_picture(48, 40);
    TgaOptions bare, rle_bare;
    bare.footer = rle_bare.footer = false;
    rle_bare.rle = true;
    JpegOptions progressive;
    progressive.progressive = true;
    struct Case {
        const char* name;
        Bytes file;
        bool tga;   // the footer is put back after the cut, so the file is still recognised
    };
    std::vector<Case> cases = {
        {"bmp", bmp_file(picture), false},
        {"tga", tga_file(rgba, bare), true},
        {"tga rle", tga_file(picture, rle_bare), true},
        {"jpeg", jpeg_file(smooth), false},
        {"jpeg progressive", jpeg_file(smooth, progressive), false},
        {"png", png_file(picture), false},
        {"png interlaced", png_file(rgba, true), false},
    };
    const Bytes footer = tga_footer();
    for (const Case& c : cases) {
        ImageLoader loader;
        Bytes whole = c.file;
        if (c.tga) whole.insert(whole.end(), footer.begin(), footer.end());
        decode(loader, whole);
        ASSERT_TRUE(loader.decoded) << c.name;
        const Bytes full(loader.pixels, loader.pixels + (size_t)loader.width * loader.height * (loader.bits_per_pixel / 8u));
        const unsigned channels = loader.bits_per_pixel / 8u;

        size_t step = std::max<size_t>(1, c.file.size() / 150);
        for (size_t length = 0; length < c.file.size(); length += (length < 64 ? 1 : step)) {
            SCOPED_TRACE(std::string(c.name) + " cut at " + std::to_string(length) + " of " +
                         std::to_string(c.file.size()));
            Bytes cut(c.file.begin(), c.file.begin() + (long)length);
            if (c.tga) cut.insert(cut.end(), footer.begin(), footer.end());
            Decoding run = decode(loader, cut);
            if (!run.recognised) {
                // Too short to be told apart from any other file: silent.
                EXPECT_EQ(run.log, "");
                EXPECT_EQ(loader.pixels, nullptr);
                continue;
            }
            if (!loader.decoded) {
                EXPECT_EQ(loader.pixels, nullptr);
                EXPECT_NE(loader.failure, nullptr);
                EXPECT_TRUE(has_reason(run)) << "no reason given: " << run.log;
            } else if (loader.truncated) {
                EXPECT_NE(run.log.find("file ends early, the picture is incomplete\n"), std::string::npos) << run.log;
                if (c.name[0] != 'j') expect_real_or_zero(loader, full, channels);
            } else {
                // Only fill bytes after the last pixel were missing.
                EXPECT_EQ(max_difference(loader, full), 0);
            }
            expect_next_loads(loader);
        }
    }
}

TEST(Truncated, JpegKeepsWhatArrivedAndLeavesTheRestBlack)
{
    Picture smooth = smooth_picture(64, 64);
    Bytes file = jpeg_file(smooth);
    ImageLoader loader;
    decode(loader, file);
    const Bytes full(loader.pixels, loader.pixels + 64 * 64 * 3);
    const size_t row = 64 * 3;

    Bytes cut(file.begin(), file.begin() + (long)(file.size() / 2));
    Decoding run = decode(loader, cut);
    ASSERT_TRUE(loader.decoded);
    EXPECT_TRUE(loader.truncated);
    // libjpeg's first warning only, as its standard error manager prints it.
    EXPECT_EQ(run.errors, "Premature end of JPEG file\n");
    EXPECT_NE(run.log.find("(jpeg) file ends early, the picture is incomplete\n"), std::string::npos);
    // The top rows (the end of the buffer) as in the whole file, the bottom
    // rows black, and at most one band of 8 rows in between.
    int real = 0, black = 0;
    for (int r = 63; r >= 0 && memcmp(loader.pixels + r * row, &full[r * row], row) == 0; r--) real++;
    for (int r = 0; r < 64 && std::all_of(loader.pixels + r * row, loader.pixels + (r + 1) * row,
                                          [](uint8_t v) { return v == 0; });
         r++)
        black++;
    EXPECT_GE(real, 8);
    EXPECT_GE(black, 8);
    EXPECT_GE(real + black, 64 - 8);
}

// The offset of a JPEG marker's segment (the byte after 0xFF, code).
static size_t find_marker(const Bytes& file, uint8_t code)
{
    for (size_t i = 2; i + 1 < file.size(); i++)
        if (file[i] == 0xFF && file[i + 1] == code) return i + 2;
    return 0;
}

// Rewrites the size in a PNG's IHDR and mends the chunk's checksum.
static Bytes png_with_size(Bytes file, uint32_t width, uint32_t height)
{
    for (int i = 0; i < 4; i++) {
        file[16 + i] = (uint8_t)(width >> (24 - 8 * i));
        file[20 + i] = (uint8_t)(height >> (24 - 8 * i));
    }
    uint32_t crc = (uint32_t)crc32(0, &file[12], 17);
    for (int i = 0; i < 4; i++) file[29 + i] = (uint8_t)(crc >> (24 - 8 * i));
    return file;
}

TEST(Sizes, ZeroAndHugeSizesAreRefusedWithALine)
{
    Picture small = pattern_picture(4, 4);
    struct Case {
        const char* name;
        Bytes file;
        const char* line;   // expected in the log, or on stderr when it is a library's
    };
    std::vector<Case> cases;
    auto bmp = [&](int32_t w, int32_t h) {
        Bytes f = bmp_file(small);
        memcpy(&f[18], &w, 4);
        memcpy(&f[22], &h, 4);
        return f;
    };
    cases.push_back({"bmp width 0", bmp(0, 4), "(bmp) refused: invalid picture size 0 x 4\n"});
    cases.push_back({"bmp height 0", bmp(4, 0), "(bmp) refused: invalid picture size 4 x 0\n"});
    cases.push_back({"bmp negative width", bmp(-4, 4), "(bmp) refused: invalid picture size -4 x 4\n"});
    cases.push_back({"bmp wide", bmp(20000, 1), "(bmp) refused: 20000 x 1 is too large"});
    cases.push_back({"bmp most negative height", bmp(4, INT32_MIN), "(bmp) refused: 4 x 2147483648 is too large"});
    cases.push_back({"bmp 16384 square", bmp(16384, -16384), "(bmp) refused: 16384 x 16384 is too large"});
    cases.push_back({"bmp just over 256 MiB", bmp(16384, 5462), "(bmp) refused: 16384 x 5462 is too large"});

    auto tga = [&](uint16_t w, uint16_t h, uint8_t bits) {
        Bytes f = tga_file(small);
        memcpy(&f[12], &w, 2);
        memcpy(&f[14], &h, 2);
        f[16] = bits;
        return f;
    };
    cases.push_back({"tga width 0", tga(0, 4, 24), "(tga) refused: invalid picture size 0 x 4\n"});
    cases.push_back({"tga height 0", tga(4, 0, 32), "(tga) refused: invalid picture size 4 x 0\n"});
    cases.push_back({"tga wide", tga(65535, 1, 24), "(tga) refused: 65535 x 1 is too large"});
    cases.push_back({"tga 16384 x 4097 at 32 bits", tga(16384, 4097, 32), "(tga) refused: 16384 x 4097 is too large"});

    auto jpeg = [&](uint16_t w, uint16_t h) {
        Bytes f = jpeg_file(small);
        size_t sof = find_marker(f, 0xC0);
        f[sof + 3] = (uint8_t)(h >> 8);
        f[sof + 4] = (uint8_t)h;
        f[sof + 5] = (uint8_t)(w >> 8);
        f[sof + 6] = (uint8_t)w;
        return f;
    };
    cases.push_back({"jpeg wide", jpeg(20000, 4), "(jpeg) refused: 20000 x 4 is too large"});
    cases.push_back({"jpeg 10000 square", jpeg(10000, 10000), "(jpeg) refused: 10000 x 10000 is too large"});
    cases.push_back({"jpeg width 0", jpeg(0, 4), "Empty JPEG image"});

    Bytes png = png_file(pattern_picture(4, 4, 4));
    cases.push_back({"png width 0", png_with_size(png, 0, 4), "(png) refused: invalid picture size 0 x 4\n"});
    cases.push_back({"png tall", png_with_size(png, 4, 20000), "(png) refused: 4 x 20000 is too large"});
    cases.push_back({"png beyond 31 bits", png_with_size(png, 0x80000000u, 1), "(png) refused: 2147483648 x 1 is too large"});
    // Within the limit as RGB, beyond it as the RGBA it decodes to.
    cases.push_back({"png 9000 square RGBA", png_with_size(png, 9000, 9000), "(png) refused: 9000 x 9000 is too large"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLoader loader;
        Decoding run = decode(loader, c.file);
        EXPECT_TRUE(run.recognised);
        EXPECT_FALSE(loader.decoded);
        EXPECT_EQ(loader.pixels, nullptr);
        EXPECT_NE(loader.failure, nullptr);
        EXPECT_TRUE(run.log.find(c.line) != std::string::npos || run.errors.find(c.line) != std::string::npos)
            << run.log << run.errors;
        expect_next_loads(loader);
    }
}

TEST(Corrupt, LibraryErrorsDropThePictureAndTheLoaderGoesOn)
{
    Picture picture = smooth_picture(32, 32);
    Bytes jpeg = jpeg_file(picture);
    Bytes png = png_file(pattern_picture(32, 32));
    struct Case {
        const char* name;
        Bytes file;
        const char* message;   // on stderr
    };
    std::vector<Case> cases;

    Bytes precision = jpeg;
    precision[find_marker(jpeg, 0xC0) + 2] = 12;
    cases.push_back({"jpeg 12-bit precision", precision, "Unsupported JPEG data precision 12"});
    Bytes huffman = jpeg;
    size_t dht = find_marker(jpeg, 0xC4);
    for (int i = 3; i < 19; i++) huffman[dht + i] = 0xFF;   // more codes than a table can hold
    cases.push_back({"jpeg bad Huffman table", huffman, "Bogus Huffman table definition"});
    Bytes no_frame(jpeg.begin(), jpeg.begin() + (long)find_marker(jpeg, 0xDB) - 2);
    no_frame.push_back(0xFF);
    no_frame.push_back(0xD9);   // end of image before any frame
    cases.push_back({"jpeg without a frame", no_frame, "JPEG datastream contains no image"});

    Bytes crc = png;
    crc[45] ^= 0x55;   // inside the first IDAT chunk, its checksum now wrong
    cases.push_back({"png checksum", crc, "libpng error: IDAT: "});
    Bytes zlib_data = png;
    for (int i = 43; i < 60; i++) zlib_data[i] = 0xA5;
    size_t idat = 33;   // the IDAT chunk follows IHDR in what libpng writes
    ASSERT_EQ(memcmp(&png[idat + 4], "IDAT", 4), 0);
    uint32_t length = (uint32_t)png[idat] << 24 | png[idat + 1] << 16 | png[idat + 2] << 8 | png[idat + 3];
    uint32_t sum = (uint32_t)crc32(0, &zlib_data[idat + 4], length + 4);
    for (int i = 0; i < 4; i++) zlib_data[idat + 8 + length + i] = (uint8_t)(sum >> (24 - 8 * i));
    cases.push_back({"png bad compressed data", zlib_data, "libpng error: IDAT: "});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLoader loader;
        decode(loader, bmp_file(pattern_picture(5, 5)));   // a picture held before
        ASSERT_TRUE(loader.decoded);
        Decoding run = decode(loader, c.file);
        EXPECT_TRUE(run.recognised);
        EXPECT_FALSE(loader.decoded);
        EXPECT_EQ(loader.pixels, nullptr);
        EXPECT_STREQ(loader.failure, "corrupt data");
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << run.errors;
        expect_next_loads(loader);
    }
}

TEST(Crashers, EveryKeptCrasherIsReadSafely)
{
    std::string dir = std::string(OARGALA_TEST_DATA) + "/crashers/";
    DIR* d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    std::vector<std::string> names;
    while (dirent* entry = readdir(d))
        if (entry->d_name[0] != '.' && strcmp(entry->d_name, "README.md") != 0) names.push_back(entry->d_name);
    closedir(d);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ImageLoader loader;
        Decoding run = decode(loader, read_whole_file(dir + name));
        if (loader.decoded) EXPECT_NE(loader.pixels, nullptr);
        else EXPECT_EQ(loader.pixels, nullptr);
        expect_next_loads(loader);
    }
}
