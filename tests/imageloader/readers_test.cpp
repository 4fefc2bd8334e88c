// readers_test.cpp: format detection and the four readers on pictures built
// here and files in tests/data: the pixels each layout decodes to, log lines,
// progress, what is refused and why, files that end early (a file without a
// picture leaves none behind, and the next file reads); the PngSuite and BMP
// Suite files against their references (the rest refused), and the fuzzer's
// crashers.
#include "pictures.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

static std::vector<float> progress_calls;

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
    const Picture small{4, 2, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255,   //
                                  10, 10, 10, 60, 60, 60, 110, 110, 110, 160, 160, 160}};
    // Width 13: 39 bytes of pixels, one fill byte at every BMP row end.
    const Picture p = pattern_picture(13, 7), rgba = pattern_picture(13, 7, 4);
    const Picture wide = pattern_picture(16384, 1), tall = pattern_picture(1, 16384);
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
        {"png", data_file("pngsuite/png/s03n3p01.png"), nullptr, "(png) width: 3, height: 3, bpp: 1\n", {33, 66, 100}},
        {"bmp top-down", bmp_file(p, {true, 40, 0, 24, 0}), &p},
        {"bmp 16384 pixels wide (the largest side)", bmp_file(wide), &wide},
        {"bmp 16384 pixels tall", bmp_file(tall), &tall},
        {"bmp 108-byte header", bmp_file(p, {false, 108, 0, 24, 0}), &p},
        {"bmp 124-byte header, top-down", bmp_file(p, {true, 124, 0, 24, 0}), &p},
        {"bmp data offset past a gap", bmp_file(p, {false, 40, 1024, 24, 0}), &p},
        {"tga identifier field", tga_file(p, {false, 200, 0, 24}), &p},
        {"tga colour map", tga_file(p, {false, 0, 256, 24}), &p},
        {"tga 15-bit colour map (2 bytes an entry)", tga_file(p, {false, 0, 256, 15}), &p},
        {"tga 32 bits", tga_file(rgba), &rgba},
        {"bmp with a TGA footer (BM comes first)", bmp_file(p) + tga_tail(), &p},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageLoader loader;
        if (!c.progress.empty())   // decode() passes 7 as the index
            loader.progress = [](float p, int index) { progress_calls.push_back(index == 7 ? p : -1); };
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
        // (the height follows from the size compared)
        EXPECT_EQ(loader.width, c.picture ? c.picture->width : 3);
        EXPECT_LE(c.picture ? max_difference(loader, bottom_up(*c.picture)) : 0, c.tolerance);
    }
}

// Each case: a file the loader recognises but gives no picture for, with the
// line that says why and the failure when it names a value; read in the
// show's texture layout when asked.
static void expect_refused(const char* name, const Bytes& file, const std::string& line,
                           const char* failure = nullptr, bool texture_layout = false)
{
    SCOPED_TRACE(name);
    ImageLoader loader;
    expect_next_loads(loader);   // a picture held before
    loader.texture_layout = texture_layout;
    Decoding run = decode(loader, file);
    loader.texture_layout = false;
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
    const Bytes bmp = bmp_file(pattern_picture(4, 4)), tga = tga_file(pattern_picture(4, 4));
    const Bytes jpeg = jpeg_file(pattern_picture(32, 32));
    const Bytes png = data_file("pngsuite/png/basn6a08.png");   // RGBA
    const uint8_t sof0[] = {0xFF, 0xC0};   // the frame header: length, precision, height, width
    const size_t sof = (size_t)(std::search(jpeg.begin(), jpeg.end(), sof0, sof0 + 2) - jpeg.begin()) + 2;
    // Copies of file with n bytes at each offset set to a value, little-endian (big-endian when n < 0).
    auto with = [](Bytes f, std::initializer_list<std::pair<size_t, int64_t>> values, int n) {
        for (auto [at, value] : values)
            for (int i = 0; i < abs(n); i++) f[at + i] = (uint8_t)(value >> 8 * (n > 0 ? i : -n - 1 - i));
        return f;
    };
    auto bmp_size = [&](int64_t w, int64_t h) { return with(bmp, {{18, w}, {22, h}}, 4); };
    auto tga_size = [&](int w, int h, int bits) { return with(with(tga, {{12, w}, {14, h}}, 2), {{16, bits}}, 1); };
    auto jpeg_size = [&](int w, int h) { return with(jpeg, {{sof + 3, h}, {sof + 5, w}}, -2); };
    auto png_size = [&](int64_t w, int64_t h) {   // in the image header, its checksum mended
        Bytes f = with(png, {{16, w}, {20, h}}, -4);
        return with(f, {{29, (int64_t)crc32(0, &f[12], 17)}}, -4);
    };
    const Picture small = pattern_picture(4, 4);
    expect_refused("bmp 8 bits", bmp_file(small, {false, 40, 0, 8, 0}),
                   "(bmp) format not supported, bpp: 8, compression: 0\n", "unsupported BMP depth 8");
    expect_refused("bmp compressed", bmp_file(small, {false, 40, 0, 24, 1}),
                   "(bmp) format not supported, bpp: 24, compression: 1\n", "compressed BMP (compression 1)");
    expect_refused("bmp 12-byte header", bmp_file(small, {false, 12, 0, 24, 0}), "(bmp) information header of 12");
    expect_refused("bmp data in the headers", with(bmp, {{10, 53}}, 4),
                   "(bmp) pixel data offset 53 lies inside the headers\n");
    expect_refused("bmp width 0", bmp_size(0, 4), "(bmp) refused: invalid picture size 0 x 4\n");
    expect_refused("bmp height 0", bmp_size(4, 0), "(bmp) refused: invalid picture size 4 x 0\n");
    expect_refused("bmp negative width", bmp_size(-4, 4), "(bmp) refused: invalid picture size -4 x 4\n");
    expect_refused("bmp wide", bmp_size(20000, 1), "(bmp) refused: 20000 x 1 is too large");
    expect_refused("bmp most negative height", bmp_size(4, INT32_MIN), "(bmp) refused: 4 x 2147483648 is too large");
    expect_refused("bmp just over 256 MiB", bmp_size(16384, 5462), "(bmp) refused: 16384 x 5462 is too large");
    // Within the limit at the file's 3 bytes a pixel, beyond it at the show's 4.
    expect_refused("bmp over 256 MiB as a texture", bmp_size(16384, 5461), "(bmp) refused: 16384 x 5461 is too large "
                   "(at most 16384 pixels a side, 256 MiB)\n", "too large (16384 x 5461)", true);
    expect_refused("bmp suite's reallybig", data_file("bmpsuite/b/reallybig.bmp"),
                   "(bmp) filesize: 2111692253, width: 3000000, height: 2000000, bpp: 24\n(bmp) refused: 3000000 x "
                   "2000000 is too large (at most 16384 pixels a side, 256 MiB)\n", "too large (3000000 x 2000000)");
    expect_refused("tga 16 bits", tga_size(4, 4, 16),
                   "(tga) width: 4, height: 4, bpp: 16\n(tga) WARNING: tga-loading for BPP < 24 not implemented!\n",
                   "unsupported TGA depth 16");
    expect_refused("tga colour-mapped", with(tga, {{2, 1}}, 1),
                   "(tga) image type 1 at 24 bits per pixel not supported\n");
    expect_refused("tga width 0", tga_size(0, 4, 24), "(tga) refused: invalid picture size 0 x 4\n");
    expect_refused("tga height 0", tga_size(4, 0, 32), "(tga) refused: invalid picture size 4 x 0\n");
    expect_refused("tga wide", tga_size(65535, 1, 24), "(tga) refused: 65535 x 1 is too large");
    expect_refused("tga 4097 rows at 32 bits", tga_size(16384, 4097, 32), "(tga) refused: 16384 x 4097 is too large");
    expect_refused("jpeg cmyk", jpeg_file(small, true),
                   "(jpeg) width: 4, height: 4\n(jpeg) colour space CMYK not supported\n");
    expect_refused("jpeg wide", jpeg_size(20000, 4), "(jpeg) refused: 20000 x 4 is too large");
    expect_refused("jpeg 10000 square", jpeg_size(10000, 10000), "(jpeg) refused: 10000 x 10000 is too large");
    expect_refused("jpeg width 0", jpeg_size(0, 4), "Empty JPEG image");
    expect_refused("png width 0", png_size(0, 4), "(png) refused: invalid picture size 0 x 4\n");
    expect_refused("png tall", png_size(4, 20000), "(png) refused: 4 x 20000 is too large");
    expect_refused("png beyond 31 bits", png_size(0x80000000u, 1), "(png) refused: 2147483648 x 1 is too large");
    // Within the limit as RGB, beyond it as the RGBA it decodes to.
    expect_refused("png 9000 square RGBA", png_size(9000, 9000), "(png) refused: 9000 x 9000 is too large");
}

// A one-scan JPEG cut short: libjpeg's first warning only, the top rows (the
// end of the buffer) as in the whole file, black below, at most one band of 8
// rows between.
static void expect_black_below_cut(const ImageLoader& loader, const Bytes& full, const Decoding& run)
{
    EXPECT_EQ(run.errors, "Premature end of JPEG file\n");
    size_t row = loader.width * 3, real = 0, black = 0, end = full.size();
    while (real < loader.height && !memcmp(&loader.pixels[end - (real + 1) * row], &full[end - (real + 1) * row], row))
        real++;
    auto zero = [](uint8_t v) { return v == 0; };
    while (black < loader.height && std::all_of(&loader.pixels[black * row], &loader.pixels[(black + 1) * row], zero))
        black++;
    // Cut before the first scan, there is nothing to keep: libjpeg makes up every row.
    EXPECT_TRUE(real + black == 0 || real + black >= loader.height - 8) << real << " real, " << black << " black";
}

TEST(Readers, FilesCutAtManyLengths)
{
    struct Case {
        const char* name;
        Bytes file;
        int tga;   // 1, 2: a tail after the cut names it as the extension area, the developer directory
        size_t fill = 0;   // bytes after the last pixel
    } cases[] = {
        {"bmp", bmp_file(pattern_picture(13, 7)), 0, 1},
        {"tga", tga_file(pattern_picture(13, 7, 4)), 1},
        {"tga rle", data_file("pictures/photo-rle-top.tga"), 2},
        {"jpeg", data_file("pictures/photo-444.jpg"), 0},
        {"jpeg progressive", data_file("pictures/photo-progressive.jpg"), 0},
        {"png", data_file("pngsuite/png/basn2c08.png"), 0},
        {"png interlaced", data_file("pngsuite/png/basi6a08.png"), 0},
    };
    for (Case& c : cases) {
        if (c.tga) c.file.resize(c.file.size() - 26);   // the footer
        auto with_tail = [&](Bytes file) {
            return c.tga ? file + tga_tail(file.size() < 18 ? 0 : (uint32_t)file.size(), c.tga == 2) : file;
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
            EXPECT_TRUE(length < size - c.fill || !loader.truncated) << "only fill bytes were missing";
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
                    bool zero = std::all_of(loader.pixels + i, loader.pixels + i + channels, [](int v) { return !v; });
                    ASSERT_TRUE(zero || !memcmp(loader.pixels + i, &full[i], channels)) << "pixel " << i / channels;
                }
                if (c.name == std::string("jpeg")) expect_black_below_cut(loader, full, run);
            } else {
                // Only fill bytes after the last pixel were missing.
                EXPECT_EQ(max_difference(loader, full), 0);
            }
            expect_next_loads(loader);
        }
    }
}

static std::vector<std::string> files_in(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The references hold only numbers, commas and brackets.
static std::vector<int> read_numbers(const std::string& path)
{
    std::vector<int> numbers;
    Bytes text = read_whole_file(path);
    text.push_back(0);
    for (char *p = (char*)text.data(), *end; *p; p = end)
        if (isdigit(*p)) numbers.push_back((int)strtol(p, &end, 10));
        else end = p + 1;
    return numbers;
}

TEST(Suites, PngSuite)
{
    std::string dir = std::string(OARGALA_TEST_DATA) + "/pngsuite/";
    int valid = 0, broken = 0;
    ImageLoader loader;
    for (const std::string& name : files_in(dir + "png")) {
        SCOPED_TRACE(name);
        Decoding run = decode(loader, read_whole_file(dir + "png/" + name));
        if (name[0] == 'x') {   // broken: not a PNG at all (a broken signature), or libpng says why
            EXPECT_STREQ(loader.failure, run.recognised ? "corrupt data" : "unknown format");
            EXPECT_EQ(run.errors.find("libpng error: ") != std::string::npos, run.recognised) << run.errors;
            broken++;
            continue;
        }
        std::string base = name.substr(0, name.size() - 4);
        bool sixteen = base.compare(base.size() - 2, 2, "16") == 0;
        std::vector<int> reference = read_numbers(dir + "json/" + base + "_to8.json");
        bool reference_16 = reference.empty() && sixteen;   // a few 16-bit files have only 16-bit references
        if (reference.empty()) reference = read_numbers(dir + "json/" + base + ".json");
        ASSERT_TRUE(loader.decoded) << run.errors;
        ASSERT_EQ(reference.size(), (size_t)loader.width * loader.height * 4);
        unsigned channels = loader.bits_per_pixel / 8u;
        // 16-bit samples are cut to their high byte: exactly so against the
        // 16-bit references, within one against the 8-bit ones, which may round.
        int worst = 0;
        for (uint32_t y = 0; y < loader.height; y++)
            for (uint32_t x = 0; x < loader.width; x++) {
                const uint8_t* px = loader.pixels + ((size_t)(loader.height - 1 - y) * loader.width + x) * channels;
                const int* ref = &reference[((size_t)y * loader.width + x) * 4];
                for (unsigned c = 0; c < 4; c++)
                    worst = std::max(worst, abs((c < channels ? px[c] : 255) - (reference_16 ? ref[c] >> 8 : ref[c])));
            }
        EXPECT_LE(worst, sixteen && !reference_16 ? 1 : 0);
        valid++;
    }
    EXPECT_EQ(valid, 161);
    EXPECT_EQ(broken, 14);
}

TEST(Suites, BmpSuite)
{
    std::string dir = std::string(OARGALA_TEST_DATA) + "/bmpsuite/";
    ImageLoader loader;
    decode(loader, read_whole_file(dir + "reference/rgb24.png"));
    const Bytes reference(loader.pixels, loader.pixels + (size_t)loader.width * loader.height * 3);
    // rgb24prof2 holds red and green exchanged and a colour profile (not applied) that exchanges them back.
    Bytes exchanged = reference;
    for (size_t i = 0; i < exchanged.size(); i += 3) std::swap(exchanged[i], exchanged[i + 1]);
    const std::vector<std::string> readable = {"g/rgb24.bmp", "g/rgb24pal.bmp", "q/rgb24largepal.bmp",
                                               "q/rgb24lprof.bmp", "q/rgb24prof.bmp", "q/rgb24prof2.bmp"};
    for (std::string folder : {"g/", "q/", "b/"})
        for (const std::string& name : files_in(dir + folder)) {
            SCOPED_TRACE(folder + name);
            Decoding run = decode(loader, read_whole_file(dir + folder + name));
            EXPECT_STREQ(loader.format, "bmp");
            EXPECT_EQ(loader.decoded, std::find(readable.begin(), readable.end(), folder + name) != readable.end());
            if (loader.decoded) {
                EXPECT_EQ(max_difference(loader, name == "rgb24prof2.bmp" ? exchanged : reference), 0);
            } else {   // the reason, after the header line unless the file is too short for it
                EXPECT_GE(std::count(run.log.begin(), run.log.end(), '\n'), 1);
            }
        }
}

TEST(Suites, EveryKeptCrasherIsReadSafely)
{
    for (const std::string& name : files_in(std::string(OARGALA_TEST_DATA) + "/crashers")) {
        ImageLoader loader;
        decode(loader, data_file("crashers/" + name));
        EXPECT_EQ(loader.decoded, loader.pixels != nullptr) << name;
    }
}
