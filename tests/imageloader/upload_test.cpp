// upload_test.cpp: load_texture and load_textures in a real GL context
// (Mesa, headless): the pictures as they appear on screen when drawn as a
// full-screen card, the textures' formats and filters, the log lines, and
// that a file that gave no picture leaves its texture without an image.
#include "pictures.h"

#include "demo/draw.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

// Collects the loader's log lines while it lives.
struct LogCapture {
    char* text = nullptr;
    size_t size = 0;
    FILE* saved = loader_log;
    LogCapture() { loader_log = open_memstream(&text, &size); }
    std::string lines()
    {
        fflush(loader_log);
        return std::string(text, size);
    }
    ~LogCapture()
    {
        fclose(loader_log);
        loader_log = saved;
        free(text);
    }
};

// Draws texture full screen and checks the centre of every texel against
// the picture (top row first), which must appear upright. The picture's
// sides divide 640 and 480, so each texel centre falls between two screen
// pixels; Mesa's linear filtering still mixes in a little of the neighbours
// (up to 4 levels seen), while a wrong row layout is off by tens.
static void expect_on_screen(uint32_t texture, const Picture& picture)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw_quad(0, 0, 640, 480, texture, 1, 0);
    Frame frame = read_frame();
    int wrong = 0;
    for (uint32_t y = 0; y < picture.height; y++)
        for (uint32_t x = 0; x < picture.width; x++) {
            unsigned sx = (unsigned)((x + 0.5) * 640 / picture.width);
            unsigned sy = (unsigned)((picture.height - 1 - y + 0.5) * 480 / picture.height);
            const uint8_t* px = picture.pixel(x, y);
            if (!near(frame.at(sx, sy), Rgb{px[0], px[1], px[2]}, 8)) wrong++;
        }
    EXPECT_EQ(wrong, 0);
}

static GLint level_parameter(uint32_t texture, GLenum parameter)
{
    GLint value = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
    return value;
}

static GLint texture_parameter(uint32_t texture, GLenum parameter)
{
    GLint value = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
    return value;
}

TEST(Upload, PicturesOfAnyWidthAppearUpright)
{
    // 10 x 3 = 30 bytes a row: sheared under GL's default 4-byte alignment.
    Picture odd = pattern_picture(10, 6);
    Picture rgba = pattern_picture(8, 5, 4);
    TgaOptions top_left_rle;
    top_left_rle.rle = top_left_rle.top_origin = true;
    std::string bmp = scratch_file("odd.bmp", bmp_file(odd));
    std::string tga = scratch_file("odd.tga", tga_file(odd, top_left_rle));
    std::string png = scratch_file("rgba.png", png_file(rgba));
    std::string jpeg = scratch_file("smooth.jpg", jpeg_file(smooth_picture(16, 16)));
    run_in_window([&] {
        LogCapture log;
        GLuint names[4];
        glGenTextures(4, names);
        ImageLoader loader;
        loader.load_texture(names[0], bmp.c_str(), 0);
        EXPECT_EQ(loader.pixels, nullptr);
        EXPECT_EQ(loader.width, 10u);
        EXPECT_EQ(loader.height, 6u);
        EXPECT_EQ(loader.bits_per_pixel, 24);
        loader.load_texture(names[1], tga.c_str(), 1);
        loader.load_texture(names[2], png.c_str(), 2);
        EXPECT_EQ(loader.bits_per_pixel, 32);
        loader.load_texture(names[3], jpeg.c_str(), 3);

        expect_on_screen(names[0], odd);
        expect_on_screen(names[1], odd);
        // A 24-bit picture is kept as RGBA (the driver's own layout), opaque throughout.
        std::vector<uint8_t> texels(10 * 6 * 4);
        glBindTexture(GL_TEXTURE_2D, names[0]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        for (size_t i = 3; i < texels.size(); i += 4) EXPECT_EQ(texels[i], 255) << i / 4;
        EXPECT_EQ(level_parameter(names[2], GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
        EXPECT_EQ(level_parameter(names[2], GL_TEXTURE_WIDTH), 8);
        EXPECT_EQ(level_parameter(names[3], GL_TEXTURE_WIDTH), 16);
        for (GLuint name : names) {
            EXPECT_EQ(texture_parameter(name, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
            EXPECT_EQ(texture_parameter(name, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        }
        // The alignment the upload needed is not left behind.
        GLint alignment = 0;
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        EXPECT_EQ(alignment, 4);

        // The log names the GL texture, not the position in the batch.
        std::string lines = log.lines();
        EXPECT_NE(lines.find("(tolm) loading file: " + bmp + " into texture " + std::to_string(names[0]) + "\n"),
                  std::string::npos);
        EXPECT_NE(lines.find("(tolm) loading file: " + png + " into texture " + std::to_string(names[2]) +
                             "\n(png) width: 8, height: 5, bpp: 32\n"),
                  std::string::npos);
    });
}

TEST(Upload, AFileWithoutAPictureLeavesItsTextureEmpty)
{
    Picture picture = pattern_picture(8, 4);
    std::string good = scratch_file("good.bmp", bmp_file(picture));
    std::string eight_bit = scratch_file("eight.bmp", bmp_file(pattern_picture(16, 16), {false, 40, 0, 8, 0}));
    Bytes broken = png_file(pattern_picture(16, 16));
    broken[50] ^= 0xFF;
    std::string corrupt = scratch_file("corrupt.png", broken);
    run_in_window([&] {
        LogCapture log;
        GLuint names[3];
        glGenTextures(3, names);
        ImageLoader loader;
        loader.load_texture(names[0], good.c_str(), 0);
        // Both files are recognised, but neither gives a picture: the
        // textures get their filters and no image, not the 8 x 4 before.
        loader.load_texture(names[1], eight_bit.c_str(), 1);
        testing::internal::CaptureStderr();
        loader.load_texture(names[2], corrupt.c_str(), 2);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("libpng error: "), std::string::npos);
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
        for (int i : {1, 2}) {
            EXPECT_EQ(level_parameter(names[i], GL_TEXTURE_WIDTH), 0);
            EXPECT_EQ(texture_parameter(names[i], GL_TEXTURE_MIN_FILTER), GL_LINEAR);
            // A texture without an image draws as plain white.
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            draw_quad(0, 0, 640, 480, names[i], 1, 0);
            EXPECT_TRUE(near(read_frame().at(320, 240), Rgb{255, 255, 255}));
        }
        expect_on_screen(names[0], picture);
    });
}

TEST(Upload, BatchGoesOnPastFailures)
{
    Picture first = pattern_picture(4, 4), last = pattern_picture(5, 3);
    std::string a = scratch_file("first.bmp", bmp_file(first));
    std::string missing = scratch_dir() + "/missing.png";
    std::string unknown = scratch_file("unknown.dat", Bytes(40, 7));
    std::string b = scratch_file("last.png", png_file(last));
    run_in_window([&] {
        LogCapture log;
        GLuint names[4];
        glGenTextures(4, names);
        ImageLoader loader;
        loader.load_textures(names, 0);
        EXPECT_EQ(log.lines(), "");

        testing::internal::CaptureStderr();
        loader.load_textures(names, 4, a.c_str(), missing.c_str(), unknown.c_str(), b.c_str());
        std::string box = testing::internal::GetCapturedStderr();
        EXPECT_EQ(box, "(tolm) Load: Could not open file: " + missing + "\n");
        std::string expected = "(tolm) loading file: " + a + " into texture " + std::to_string(names[0]) + "\n" +
                               "(bmp) filesize: 102, width: 4, height: 4, bpp: 24\n" +
                               "(tolm) loading file: " + missing + " into texture " + std::to_string(names[1]) +
                               "\n(tolm) sorry, couldnt open " + missing + "!\n" +
                               "(tolm) loading file: " + unknown + " into texture " + std::to_string(names[2]) + "\n" +
                               "(tolm) loading file: " + b + " into texture " + std::to_string(names[3]) + "\n" +
                               "(png) width: 5, height: 3, bpp: 24\n";
        EXPECT_EQ(log.lines(), expected);
        expect_on_screen(names[0], first);
        expect_on_screen(names[3], last);
        // No GL call at all for the two files that were not read.
        for (int i : {1, 2}) EXPECT_EQ(texture_parameter(names[i], GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    });
}
