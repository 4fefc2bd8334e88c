// upload_test.cpp: load_texture(s) in a real GL context (Mesa, headless): every format appears upright
// in RGBA textures with linear filters; the log names file and texture; a file without a picture leaves
// its texture without an image, and the batch goes on.
#include "pictures.h"

#include "demo/draw.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

// Draws texture full screen and checks each texel's centre against the picture
// in path as the loader decodes it outside a texture. Its sides divide 640 and
// 480: linear filtering mixes in a few levels of the neighbours, a wrong row
// or channel layout is off by tens.
static void expect_on_screen(uint32_t texture, const std::string& path)
{
    ImageLoader loader;
    decode(loader, read_whole_file(path));
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_quad(0, 0, 640, 480, texture, 1, 0);
    Frame frame = read_frame();
    int wrong = 0;
    for (uint32_t y = 0; y < loader.height; y++)
        for (uint32_t x = 0; x < loader.width; x++) {
            const uint8_t* px = loader.pixels + ((size_t)y * loader.width + x) * (loader.bits_per_pixel / 8u);
            Rgb at = frame.at((unsigned)((x + 0.5) * 640 / loader.width), (unsigned)((y + 0.5) * 480 / loader.height));
            wrong += !near(at, Rgb{px[0], px[1], px[2]}, 8);
        }
    EXPECT_EQ(wrong, 0) << path;
}

static GLint parameter(uint32_t texture, GLenum name, bool level = false)
{
    GLint value = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    if (level) glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
    else glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

TEST(Upload, PicturesOfAnyWidthAppearUpright)
{
    // 10 x 3 = 30 bytes a row: sheared under GL's default 4-byte alignment.
    Picture odd = pattern_picture(10, 6);
    std::string suite = std::string(OARGALA_TEST_DATA) + "/pngsuite/png/";
    std::vector<std::string> paths = {
        scratch_file("odd.bmp", bmp_file(odd)), scratch_file("odd.tga", tga_file(odd, {true})),
        scratch_file("odd.jpg", jpeg_file(odd)), scratch_file("rgba.tga", tga_file(pattern_picture(8, 5, 4))),
        suite + "basn2c08.png", suite + "basn6a08.png", suite + "basi2c08.png",   // RGB, RGBA, interlaced
    };
    run_in_window([&] {
        GLuint names[7];
        glGenTextures(7, names);
        ImageLoader loader;
        for (size_t i = 0; i < paths.size(); i++)
            capture([&] { loader.load_texture(names[i], paths[i].c_str(), (int)i); return true; });
        EXPECT_EQ(loader.pixels, nullptr);   // handed to GL and released
        for (size_t i = 0; i < paths.size(); i++) {
            expect_on_screen(names[i], paths[i]);
            EXPECT_EQ(parameter(names[i], GL_TEXTURE_INTERNAL_FORMAT, true), GL_RGBA);
            EXPECT_EQ(parameter(names[i], GL_TEXTURE_MIN_FILTER), GL_LINEAR);
            EXPECT_EQ(parameter(names[i], GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        }
        // A 24-bit picture is kept as RGBA (the driver's own layout), opaque throughout.
        for (int i : {0, 1, 2, 4}) {
            GLint width = parameter(names[i], GL_TEXTURE_WIDTH, true);
            std::vector<uint8_t> rgba((size_t)width * parameter(names[i], GL_TEXTURE_HEIGHT, true) * 4);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());   // bound by parameter()
            for (size_t t = 3; t < rgba.size(); t += 4) ASSERT_EQ(rgba[t], 255) << paths[i] << " texel " << t / 4;
        }
    });
}

TEST(Upload, BatchGoesOnPastFilesWithoutAPicture)
{
    std::string good = scratch_file("good.bmp", bmp_file(pattern_picture(4, 4)));
    std::string missing = scratch_dir() + "/missing";
    std::string unknown = scratch_file("unknown.dat", Bytes(40, 7));
    std::string eight = scratch_file("eight.bmp", bmp_file(pattern_picture(4, 4), {false, 40, 0, 8, 0}));
    Bytes broken = data_file("pngsuite/png/basn2c08.png");
    broken[70] ^= 0xFF;
    std::string corrupt = scratch_file("corrupt.png", broken);
    std::string last = scratch_file("last.tga", tga_file(pattern_picture(5, 3)));
    run_in_window([&] {
        GLuint names[6];
        glGenTextures(6, names);
        ImageLoader loader;
        Decoding run = capture([&] {
            loader.load_textures(names, 0);
            loader.load_textures(names, 6, good.c_str(), missing.c_str(), unknown.c_str(), eight.c_str(),
                                 corrupt.c_str(), last.c_str());
            return true;
        });
        std::string box = "(tolm) Load: Could not open file: " + missing + "\n";
        EXPECT_EQ(run.errors.find(box + "libpng error: IDAT: "), 0u) << run.errors;
        // The log names the GL texture, not the position in the batch.
        auto loading = [&](const std::string& path, int i) {
            return "(tolm) loading file: " + path + " into texture " + std::to_string(names[i]) + "\n";
        };
        EXPECT_EQ(run.log, loading(good, 0) + "(bmp) filesize: 102, width: 4, height: 4, bpp: 24\n" +
                           loading(missing, 1) + "(tolm) sorry, couldnt open " + missing + "!\n" +
                           loading(unknown, 2) + loading(eight, 3) +
                           "(bmp) filesize: 102, width: 4, height: 4, bpp: 8\n"
                           "(bmp) format not supported, bpp: 8, compression: 0\n" + loading(corrupt, 4) +
                           "(png) width: 32, height: 32, bpp: 24\n" + loading(last, 5) +
                           "(tga) width: 5, height: 3, bpp: 24\n");
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
        expect_on_screen(names[0], good);
        expect_on_screen(names[5], last);
        // Not read: no GL call at all. Read without a picture: filters and no image, not the 4 x 4 before.
        for (int i : {1, 2}) EXPECT_EQ(parameter(names[i], GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
        for (int i : {3, 4}) {
            EXPECT_EQ(parameter(names[i], GL_TEXTURE_WIDTH, true), 0);
            EXPECT_EQ(parameter(names[i], GL_TEXTURE_MIN_FILTER), GL_LINEAR);
        }
    });
}
