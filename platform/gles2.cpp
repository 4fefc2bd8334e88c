// gles2.cpp: the GLES 2 renderer: the GL 1.1 subset of platform/gl.h drawn
// with OpenGL ES 2, which is also all that WebGL 1 offers, so the same code
// draws natively (--renderer gles2, EGL on Mesa) and in a browser.
// What it does as GL 1.1 would:
//   - glBegin/glEnd collect position, texture coordinate and colour per
//     vertex; quads become two triangles; one small stream buffer (WebGL has
//     no client-side arrays); normals are dropped (lighting is never on).
//   - our own model-view and projection stacks, computed in float as Mesa
//     computes its own (same multiplication order, gluPerspective in double).
//   - one shader: colour, times the texture when GL_TEXTURE_2D is on and the
//     bound texture is complete (a texture without a picture draws as if
//     texturing were off, as in GL 1.1, not black as in GLES 2).
//   - uploads: BGRA pixels are swapped to RGBA, the internal format is the
//     format, a texture whose sides are not powers of two clamps to its edge
//     (all GLES 2 allows without mipmaps); GL_CLAMP becomes CLAMP_TO_EDGE.
//   - read-back in BGRA is read as RGBA and swapped.
// Depends on OpenGL ES 2 (GLES2/gl2.h: libGLESv2, or WebGL under Emscripten).
#include "gl_dispatch.h"
#include "platform/say.h"

#include <GLES2/gl2.h>

#include <cmath>
#include <cstdio>
#include <vector>

// GL 1.1 names that GLES 2 lacks.
enum : GLenum {
    QUADS = 0x0007,
    PROJECTION = 0x1701,
    LIGHTING = 0x0B50,
    PERSPECTIVE_CORRECTION_HINT = 0x0C50,
    CLAMP = 0x2900,
    BGRA = 0x80E1,
};

struct Matrix {
    float m[16];   // column-major, as GL keeps it
};
static const Matrix identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

struct TextureInfo {
    GLsizei width = 0, height = 0;
    GLint min_filter = GL_NEAREST_MIPMAP_LINEAR;   // GL's default
};

enum { POSITION, TEX_COORD, COLOUR, FLOATS_PER_VERTEX = 9 };

static struct {
    bool ready = false;
    GLuint program = 0, buffer = 0;
    GLint mvp = -1, textured = -1;
    // GL 1.1 state kept here.
    std::vector<Matrix> modelview{identity}, projection{identity};
    bool projection_mode = false;   // glMatrixMode
    float colour[4] = {1, 1, 1, 1};
    float tex_coord[2] = {0, 0};
    bool texturing = false;
    GLuint bound = 0;
    std::vector<TextureInfo> textures;
    GLenum mode = 0;
    std::vector<float> vertices, triangles;
} gles2;

static std::vector<Matrix>& stack() { return gles2.projection_mode ? gles2.projection : gles2.modelview; }
// GL's smallest stack depths.
static size_t depth_limit() { return gles2.projection_mode ? 2 : 32; }

// a = a * b, in the order of Mesa's matmul4 (same float results).
static void multiply(Matrix* a, const Matrix& b)
{
    Matrix r;
    for (int i = 0; i < 4; i++) {
        float a0 = a->m[i], a1 = a->m[4 + i], a2 = a->m[8 + i], a3 = a->m[12 + i];
        for (int j = 0; j < 4; j++)
            r.m[4 * j + i] = a0 * b.m[4 * j] + a1 * b.m[4 * j + 1] + a2 * b.m[4 * j + 2] + a3 * b.m[4 * j + 3];
    }
    *a = r;
}

static Matrix& top() { return stack().back(); }

static void rotate(float angle, float x, float y, float z)
{
    float s = (float)sin(angle * M_PI / 180.0), c = (float)cos(angle * M_PI / 180.0);
    Matrix r = identity;
    float* m = r.m;   // m[4 * column + row]
    // About one axis exactly (no 1 - c + c on the axis itself).
    if (x == 0 && y == 0 && z != 0) {
        if (z < 0) s = -s;
        m[0] = c, m[5] = c, m[4] = -s, m[1] = s;
    } else if (x == 0 && z == 0 && y != 0) {
        if (y < 0) s = -s;
        m[0] = c, m[10] = c, m[8] = s, m[2] = -s;
    } else if (y == 0 && z == 0 && x != 0) {
        if (x < 0) s = -s;
        m[5] = c, m[10] = c, m[9] = -s, m[6] = s;
    } else {
        float length = sqrtf(x * x + y * y + z * z);
        if (length <= 1.0e-4f) return;
        x /= length, y /= length, z /= length;
        float k = 1.0f - c;
        m[0] = k * x * x + c, m[4] = k * x * y - z * s, m[8] = k * z * x + y * s;
        m[1] = k * x * y + z * s, m[5] = k * y * y + c, m[9] = k * y * z - x * s;
        m[2] = k * z * x - y * s, m[6] = k * y * z + x * s, m[10] = k * z * z + c;
    }
    multiply(&top(), r);
}

static void translate(float x, float y, float z)
{
    float* m = top().m;
    for (int i = 0; i < 4; i++) m[12 + i] = m[i] * x + m[4 + i] * y + m[8 + i] * z + m[12 + i];
}

static void scale(float x, float y, float z)
{
    float* m = top().m;
    for (int i = 0; i < 4; i++) m[i] *= x, m[4 + i] *= y, m[8 + i] *= z;
}

static void ortho(double left, double right, double bottom, double top_, double near_z, double far_z)
{
    float l = (float)left, r = (float)right, b = (float)bottom, t = (float)top_, n = (float)near_z,
          f = (float)far_z;
    Matrix o = identity;
    o.m[0] = 2.0f / (r - l), o.m[12] = -(r + l) / (r - l);
    o.m[5] = 2.0f / (t - b), o.m[13] = -(t + b) / (t - b);
    o.m[10] = -2.0f / (f - n), o.m[14] = -(f + n) / (f - n);
    multiply(&top(), o);
}

// As GLU computes it: in double, then multiplied in as floats.
static void perspective(double fovy, double aspect, double near_z, double far_z)
{
    double radians = fovy / 2 * M_PI / 180, depth = far_z - near_z, sine = sin(radians);
    if (depth == 0 || sine == 0 || aspect == 0) return;
    double cotangent = cos(radians) / sine;
    Matrix p = identity;
    p.m[0] = (float)(cotangent / aspect);
    p.m[5] = (float)cotangent;
    p.m[10] = (float)(-(far_z + near_z) / depth);
    p.m[11] = -1;
    p.m[14] = (float)(-2 * near_z * far_z / depth);
    p.m[15] = 0;
    multiply(&top(), p);
}

static TextureInfo* bound_texture()
{
    if (gles2.bound == 0 || gles2.bound >= gles2.textures.size()) return nullptr;
    return &gles2.textures[gles2.bound];
}

static bool bound_texture_complete()
{
    const TextureInfo* t = bound_texture();
    return t && t->width > 0 && t->height > 0 && (t->min_filter == GL_NEAREST || t->min_filter == GL_LINEAR);
}

static void draw(GLenum mode, const std::vector<float>& vertices)
{
    GLsizei count = (GLsizei)(vertices.size() / FLOATS_PER_VERTEX);
    if (count == 0) return;
    Matrix mvp = gles2.projection.back();
    multiply(&mvp, gles2.modelview.back());
    glUseProgram(gles2.program);
    // The shader multiplies the vertex by the transposed matrix: four dot
    // products with its rows, as Mesa's fixed-function transform does.
    float rows[16];
    for (int i = 0; i < 16; i++) rows[i] = mvp.m[(i % 4) * 4 + i / 4];
    glUniformMatrix4fv(gles2.mvp, 1, GL_FALSE, rows);
    glUniform1f(gles2.textured, gles2.texturing && bound_texture_complete() ? 1.0f : 0.0f);
    glBindBuffer(GL_ARRAY_BUFFER, gles2.buffer);
    glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(vertices.size() * sizeof(float)), vertices.data(), GL_STREAM_DRAW);
    const GLsizei stride = FLOATS_PER_VERTEX * sizeof(float);
    glVertexAttribPointer(POSITION, 3, GL_FLOAT, GL_FALSE, stride, (const void*)0);
    glVertexAttribPointer(TEX_COORD, 2, GL_FLOAT, GL_FALSE, stride, (const void*)(3 * sizeof(float)));
    glVertexAttribPointer(COLOUR, 4, GL_FLOAT, GL_FALSE, stride, (const void*)(5 * sizeof(float)));
    glDrawArrays(mode, 0, count);
}

static void end()
{
    if (gles2.mode == QUADS) {
        // Each quad a b c d as the triangles a b c and a c d.
        gles2.triangles.clear();
        static const int corners[6] = {0, 1, 2, 0, 2, 3};
        size_t quads = gles2.vertices.size() / (4 * FLOATS_PER_VERTEX);
        for (size_t q = 0; q < quads; q++)
            for (int corner : corners) {
                const float* v = &gles2.vertices[(q * 4 + corner) * FLOATS_PER_VERTEX];
                gles2.triangles.insert(gles2.triangles.end(), v, v + FLOATS_PER_VERTEX);
            }
        draw(GL_TRIANGLES, gles2.triangles);
    } else {
        draw(gles2.mode, gles2.vertices);
    }
    gles2.vertices.clear();
}

static void vertex(float x, float y, float z)
{
    const float v[FLOATS_PER_VERTEX] = {x, y, z, gles2.tex_coord[0], gles2.tex_coord[1],
                                        gles2.colour[0], gles2.colour[1], gles2.colour[2], gles2.colour[3]};
    gles2.vertices.insert(gles2.vertices.end(), v, v + FLOATS_PER_VERTEX);
}

static void set_capability(GLenum cap, bool on)
{
    if (cap == GL_TEXTURE_2D) gles2.texturing = on;
    else if (cap == LIGHTING) return;   // never on in this program
    else if (on) glEnable(cap);
    else glDisable(cap);
}

static bool power_of_two(GLsizei n) { return n > 0 && (n & (n - 1)) == 0; }

static void tex_image_2d(GLenum target, GLint level, GLint, GLsizei width, GLsizei height, GLint border,
                         GLenum format, GLenum type, const GLvoid* pixels)
{
    if (format == BGRA) {
        // In memory B G R A, whether as bytes or as little-endian 8_8_8_8_REV words.
        std::vector<unsigned char> rgba;
        if (pixels) {
            const unsigned char* p = (const unsigned char*)pixels;
            rgba.assign(p, p + (size_t)width * (size_t)height * 4);
            for (size_t i = 0; i < rgba.size(); i += 4) std::swap(rgba[i], rgba[i + 2]);
        }
        glTexImage2D(target, level, GL_RGBA, width, height, border, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels ? rgba.data() : nullptr);
    } else {
        glTexImage2D(target, level, (GLint)format, width, height, border, format, type, pixels);
    }
    TextureInfo* t = bound_texture();
    if (level != 0 || !t) return;
    t->width = width;
    t->height = height;
    if (!power_of_two(width) || !power_of_two(height)) {
        glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
}

static void tex_parameteri(GLenum target, GLenum name, GLint value)
{
    if (value == (GLint)CLAMP) value = GL_CLAMP_TO_EDGE;
    if (name == GL_TEXTURE_MIN_FILTER && bound_texture()) bound_texture()->min_filter = value;
    glTexParameteri(target, name, value);
}

static void read_pixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                        GLvoid* pixels)
{
    if (format != BGRA) {
        glReadPixels(x, y, width, height, format, type, pixels);
        return;
    }
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    unsigned char* p = (unsigned char*)pixels;
    size_t size = (size_t)width * (size_t)height * 4;
    for (size_t i = 0; i < size; i += 4) std::swap(p[i], p[i + 2]);
}

const GlFunctions gles2_functions = {
    .begin = [](GLenum mode) {
        gles2.mode = mode;
        gles2.vertices.clear();
    },
    .end = end,
    .vertex3f = vertex,
    .tex_coord2f = [](GLfloat s, GLfloat t) { gles2.tex_coord[0] = s, gles2.tex_coord[1] = t; },
    .normal3f = [](GLfloat, GLfloat, GLfloat) {},
    .color3f = [](GLfloat r, GLfloat g, GLfloat b) {
        gles2.colour[0] = r, gles2.colour[1] = g, gles2.colour[2] = b, gles2.colour[3] = 1.0f;
    },
    .matrix_mode = [](GLenum mode) { gles2.projection_mode = mode == PROJECTION; },
    .load_identity = []() { top() = identity; },
    .push_matrix = []() {
        if (stack().size() >= depth_limit()) return;
        Matrix copy = top();
        stack().push_back(copy);
    },
    .pop_matrix = []() {
        if (stack().size() > 1) stack().pop_back();
    },
    .translatef = translate,
    .rotatef = rotate,
    .scalef = scale,
    .ortho = ortho,
    .perspective = perspective,
    .viewport = [](GLint x, GLint y, GLsizei w, GLsizei h) { glViewport(x, y, w, h); },
    .enable = [](GLenum cap) { set_capability(cap, true); },
    .disable = [](GLenum cap) { set_capability(cap, false); },
    .blend_func = [](GLenum s, GLenum d) { glBlendFunc(s, d); },
    .depth_func = [](GLenum func) { glDepthFunc(func); },
    // GLES 2 always shades smoothly and interpolates with perspective.
    .shade_model = [](GLenum) {},
    .hint = [](GLenum target, GLenum mode) {
        if (target != PERSPECTIVE_CORRECTION_HINT) glHint(target, mode);
    },
    .clear = [](GLbitfield mask) { glClear(mask); },
    .clear_color = [](GLclampf r, GLclampf g, GLclampf b, GLclampf a) { glClearColor(r, g, b, a); },
    .clear_depth = [](GLdouble depth) { glClearDepthf((GLfloat)depth); },
    .gen_textures = [](GLsizei n, GLuint* names) {
        glGenTextures(n, names);
        for (GLsizei i = 0; i < n; i++)
            if (names[i] >= gles2.textures.size()) gles2.textures.resize(names[i] + 1);
    },
    .bind_texture = [](GLenum target, GLuint name) {
        gles2.bound = name;
        glBindTexture(target, name);
    },
    .tex_parameteri = tex_parameteri,
    .tex_image_2d = tex_image_2d,
    .pixel_storei = [](GLenum name, GLint value) { glPixelStorei(name, value); },
    .get_integerv = [](GLenum name, GLint* values) { glGetIntegerv(name, values); },
    .read_pixels = read_pixels,
};

// ---- the shader -------------------------------------------------------------

static const char* const vertex_source =
    "attribute vec3 position;\n"
    "attribute vec2 tex_coord;\n"
    "attribute vec4 colour;\n"
    "uniform mat4 mvp_rows;\n"
    "varying vec2 v_tex_coord;\n"
    "varying vec4 v_colour;\n"
    "void main() {\n"
    "    v_tex_coord = tex_coord;\n"
    "    v_colour = colour;\n"
    "    gl_Position = vec4(position, 1.0) * mvp_rows;\n"
    "}\n";

// GL 1.1's GL_MODULATE: the texture's colour times the vertex colour.
static const char* const fragment_source =
    "#ifdef GL_FRAGMENT_PRECISION_HIGH\n"
    "precision highp float;\n"
    "#else\n"
    "precision mediump float;\n"
    "#endif\n"
    "uniform sampler2D picture;\n"
    "uniform float textured;\n"
    "varying vec2 v_tex_coord;\n"
    "varying vec4 v_colour;\n"
    "void main() {\n"
    "    vec4 colour = v_colour;\n"
    "    if (textured > 0.5) colour *= texture2D(picture, v_tex_coord);\n"
    "    gl_FragColor = colour;\n"
    "}\n";

static GLuint compile(GLenum kind, const char* source)
{
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    char log[512] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    say("the GLES 2 renderer's shader does not compile: %s", log);
    glDeleteShader(shader);
    return 0;
}

bool gles2_renderer_start()
{
    if (gles2.ready) return true;
    GLuint vertex_shader = compile(GL_VERTEX_SHADER, vertex_source);
    GLuint fragment_shader = compile(GL_FRAGMENT_SHADER, fragment_source);
    if (!vertex_shader || !fragment_shader) return false;
    gles2.program = glCreateProgram();
    glAttachShader(gles2.program, vertex_shader);
    glAttachShader(gles2.program, fragment_shader);
    glBindAttribLocation(gles2.program, POSITION, "position");
    glBindAttribLocation(gles2.program, TEX_COORD, "tex_coord");
    glBindAttribLocation(gles2.program, COLOUR, "colour");
    glLinkProgram(gles2.program);
    glDeleteShader(vertex_shader);
    glDeleteShader(fragment_shader);
    GLint ok = GL_FALSE;
    glGetProgramiv(gles2.program, GL_LINK_STATUS, &ok);
    if (!ok) {
        say("the GLES 2 renderer's shader does not link");
        return false;
    }
    gles2.mvp = glGetUniformLocation(gles2.program, "mvp_rows");
    gles2.textured = glGetUniformLocation(gles2.program, "textured");
    glUseProgram(gles2.program);
    glUniform1i(glGetUniformLocation(gles2.program, "picture"), 0);
    glGenBuffers(1, &gles2.buffer);
    for (GLuint attribute = POSITION; attribute <= COLOUR; attribute++) glEnableVertexAttribArray(attribute);
    gles2.ready = true;
    return true;
}

void gles2_renderer_forget()
{
    // Its objects went with the context; a new one starts from GL's defaults.
    gles2.ready = false;
    gles2.modelview.assign(1, identity);
    gles2.projection.assign(1, identity);
    gles2.projection_mode = false;
    gles2.texturing = false;
    gles2.bound = 0;
    gles2.textures.clear();
}
