// suites_test.cpp: the public test suites in tests/data and the fuzzer's
// crashers. PngSuite: every valid file decodes to its reference pixels, every
// broken ("x") file is refused. BMP Suite: the uncompressed 24-bit files
// decode to the reference rendering, every other file is refused. Crashers:
// read without a crash, leak or stale picture.
#include "pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

static const std::string data_dir = OARGALA_TEST_DATA;

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
    std::string dir = data_dir + "/pngsuite/";
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
        bool reference_16 = false;
        if (reference.empty()) {
            reference = read_numbers(dir + "json/" + base + ".json");
            reference_16 = sixteen;   // a few 16-bit files have only 16-bit references
        }
        ASSERT_TRUE(loader.decoded) << run.errors;
        ASSERT_EQ(reference.size(), (size_t)loader.width * loader.height * 4);
        unsigned channels = loader.bits_per_pixel / 8u;
        // 16-bit samples are cut to their high byte; the 8-bit references of those may round instead.
        int worst = 0;
        for (uint32_t y = 0; y < loader.height; y++)
            for (uint32_t x = 0; x < loader.width; x++) {
                const uint8_t* px = loader.pixels + ((size_t)(loader.height - 1 - y) * loader.width + x) * channels;
                const int* ref = &reference[((size_t)y * loader.width + x) * 4];
                for (unsigned c = 0; c < 4; c++)
                    worst = std::max(worst, abs((c < channels ? px[c] : 255) - (reference_16 ? ref[c] >> 8 : ref[c])));
            }
        EXPECT_LE(worst, sixteen ? 1 : 0);
        valid++;
    }
    EXPECT_EQ(valid, 161);
    EXPECT_EQ(broken, 14);
}

TEST(Suites, BmpSuite)
{
    std::string dir = data_dir + "/bmpsuite/";
    ImageLoader loader;
    decode(loader, read_whole_file(dir + "reference/rgb24.png"));
    ASSERT_EQ(loader.bits_per_pixel, 24);
    const Bytes reference(loader.pixels, loader.pixels + (size_t)loader.width * loader.height * 3);
    // rgb24prof2 holds red and green exchanged and a colour profile that
    // exchanges them back; profiles are not applied.
    Bytes exchanged = reference;
    for (size_t i = 0; i < exchanged.size(); i += 3) std::swap(exchanged[i], exchanged[i + 1]);

    const std::vector<std::string> readable = {"g/rgb24.bmp", "g/rgb24pal.bmp", "q/rgb24largepal.bmp",
                                               "q/rgb24lprof.bmp", "q/rgb24prof.bmp", "q/rgb24prof2.bmp"};
    int refused = 0;
    for (const char* folder : {"g", "q", "b"}) {
        for (const std::string& name : files_in(dir + folder)) {
            std::string file = std::string(folder) + "/" + name;
            SCOPED_TRACE(file);
            Decoding run = decode(loader, read_whole_file(dir + file));
            EXPECT_STREQ(loader.format, "bmp");
            if (std::find(readable.begin(), readable.end(), file) != readable.end()) {
                EXPECT_FALSE(loader.truncated);
                EXPECT_EQ(max_difference(loader, file == "q/rgb24prof2.bmp" ? exchanged : reference), 0) << run.log;
            } else {
                EXPECT_FALSE(loader.decoded) << run.log;
                EXPECT_EQ(loader.pixels, nullptr);
                EXPECT_NE(loader.failure, nullptr);
                // The reason, after the header line unless the file is too short for it.
                EXPECT_GE(std::count(run.log.begin(), run.log.end(), '\n'), 1);
                refused++;
            }
        }
    }
    EXPECT_EQ(refused, 20 + 27 + 43 - 6);
}

TEST(Suites, EveryKeptCrasherIsReadSafely)
{
    for (const std::string& name : files_in(data_dir + "/crashers")) {
        ImageLoader loader;
        decode(loader, read_whole_file(data_dir + "/crashers/" + name));
        EXPECT_EQ(loader.decoded, loader.pixels != nullptr) << name;
    }
}
