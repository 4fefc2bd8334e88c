// gl_dispatch.h: the table of the GL 1.1 subset the program draws with, one
// table per renderer: gl11.cpp (the system's OpenGL 1.1, call for call) and
// gles2.cpp (our own fixed-function subset over OpenGL ES 2 / WebGL 1).
// platform/gl.h forwards each call through the table chosen at start-up.
// Needs no GL header: the types are GL's own, declared here the same way.
#pragma once

typedef unsigned int GLenum;
typedef unsigned int GLbitfield;
typedef unsigned int GLuint;
typedef int GLint;
typedef int GLsizei;
typedef float GLfloat;
typedef float GLclampf;
typedef double GLdouble;
typedef void GLvoid;

struct GlFunctions {
    void (*begin)(GLenum mode);
    void (*end)();
    void (*vertex3f)(GLfloat x, GLfloat y, GLfloat z);
    void (*tex_coord2f)(GLfloat s, GLfloat t);
    void (*normal3f)(GLfloat x, GLfloat y, GLfloat z);
    void (*color3f)(GLfloat r, GLfloat g, GLfloat b);
    void (*matrix_mode)(GLenum mode);
    void (*load_identity)();
    void (*push_matrix)();
    void (*pop_matrix)();
    void (*translatef)(GLfloat x, GLfloat y, GLfloat z);
    void (*rotatef)(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
    void (*scalef)(GLfloat x, GLfloat y, GLfloat z);
    void (*ortho)(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_z, GLdouble far_z);
    void (*perspective)(GLdouble fovy, GLdouble aspect, GLdouble near_z, GLdouble far_z);
    void (*viewport)(GLint x, GLint y, GLsizei width, GLsizei height);
    void (*enable)(GLenum cap);
    void (*disable)(GLenum cap);
    void (*blend_func)(GLenum source, GLenum destination);
    void (*depth_func)(GLenum func);
    void (*shade_model)(GLenum mode);
    void (*hint)(GLenum target, GLenum mode);
    void (*clear)(GLbitfield mask);
    void (*clear_color)(GLclampf r, GLclampf g, GLclampf b, GLclampf a);
    void (*clear_depth)(GLdouble depth);
    void (*gen_textures)(GLsizei count, GLuint* names);
    void (*bind_texture)(GLenum target, GLuint name);
    void (*tex_parameteri)(GLenum target, GLenum name, GLint value);
    void (*tex_image_2d)(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height,
                         GLint border, GLenum format, GLenum type, const GLvoid* pixels);
    void (*pixel_storei)(GLenum name, GLint value);
    void (*get_integerv)(GLenum name, GLint* values);
    void (*read_pixels)(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                        GLvoid* pixels);
};

// The renderer the program's GL calls go to (see platform_use_renderer).
extern const GlFunctions* gl_functions;

#ifdef OARGALA_HAVE_GL11
extern const GlFunctions gl11_functions;
#endif
#ifdef OARGALA_HAVE_GLES2
extern const GlFunctions gles2_functions;
// With the context current: compiles the shader and makes the vertex buffer
// once per context. False when the context cannot (no GLES 2).
bool gles2_renderer_start();
// The context is going away: its objects with it.
void gles2_renderer_forget();
#endif
