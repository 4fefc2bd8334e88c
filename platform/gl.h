// gl.h: the OpenGL the program draws with, included instead of <GL/gl.h> and
// <GL/glu.h>: the GL 1.1 calls the show uses (immediate-mode quads, the two
// matrix stacks, blending, depth, textures, read-back) and gluPerspective,
// under their own names. Each call goes to the renderer chosen at start-up
// (platform_use_renderer): the system's OpenGL 1.1, or our own renderer over
// OpenGL ES 2, which is what WebGL 1 offers. The code that draws does not
// know which one runs. Depends on gl_dispatch.h only (no system GL header).
#pragma once

#if defined(__gl_h_) || defined(__GL_H__) || defined(GL_VERSION_1_1)
#error "platform/gl.h replaces <GL/gl.h>; include only one of them"
#endif

#include "gl_dispatch.h"

// The enums the program passes, with GL's values.
#define GL_QUADS 0x0007
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_COLOR_BUFFER_BIT 0x00004000
#define GL_DEPTH_TEST 0x0B71
#define GL_BLEND 0x0BE2
#define GL_LIGHTING 0x0B50
#define GL_TEXTURE_2D 0x0DE1
#define GL_LEQUAL 0x0203
#define GL_SRC_COLOR 0x0300
#define GL_ONE_MINUS_SRC_COLOR 0x0301
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_SMOOTH 0x1D01
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_NICEST 0x1102
#define GL_TEXTURE_MAG_FILTER 0x2800
#define GL_TEXTURE_MIN_FILTER 0x2801
#define GL_NEAREST 0x2600
#define GL_LINEAR 0x2601
#define GL_UNPACK_ALIGNMENT 0x0CF5
#define GL_PACK_ALIGNMENT 0x0D05
#define GL_RGB 0x1907
#define GL_RGBA 0x1908
#define GL_BGRA 0x80E1
#define GL_UNSIGNED_BYTE 0x1401
#define GL_UNSIGNED_INT_8_8_8_8_REV 0x8367

inline void glBegin(GLenum mode) { gl_functions->begin(mode); }
inline void glEnd() { gl_functions->end(); }
inline void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { gl_functions->vertex3f(x, y, z); }
inline void glTexCoord2f(GLfloat s, GLfloat t) { gl_functions->tex_coord2f(s, t); }
inline void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { gl_functions->normal3f(x, y, z); }
inline void glColor3f(GLfloat r, GLfloat g, GLfloat b) { gl_functions->color3f(r, g, b); }
inline void glMatrixMode(GLenum mode) { gl_functions->matrix_mode(mode); }
inline void glLoadIdentity() { gl_functions->load_identity(); }
inline void glPushMatrix() { gl_functions->push_matrix(); }
inline void glPopMatrix() { gl_functions->pop_matrix(); }
inline void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { gl_functions->translatef(x, y, z); }
inline void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { gl_functions->rotatef(angle, x, y, z); }
inline void glScalef(GLfloat x, GLfloat y, GLfloat z) { gl_functions->scalef(x, y, z); }
inline void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_z, GLdouble far_z)
{
    gl_functions->ortho(left, right, bottom, top, near_z, far_z);
}
inline void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble near_z, GLdouble far_z)
{
    gl_functions->perspective(fovy, aspect, near_z, far_z);
}
inline void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { gl_functions->viewport(x, y, w, h); }
inline void glEnable(GLenum cap) { gl_functions->enable(cap); }
inline void glDisable(GLenum cap) { gl_functions->disable(cap); }
inline void glBlendFunc(GLenum source, GLenum destination) { gl_functions->blend_func(source, destination); }
inline void glDepthFunc(GLenum func) { gl_functions->depth_func(func); }
inline void glShadeModel(GLenum mode) { gl_functions->shade_model(mode); }
inline void glHint(GLenum target, GLenum mode) { gl_functions->hint(target, mode); }
inline void glClear(GLbitfield mask) { gl_functions->clear(mask); }
inline void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) { gl_functions->clear_color(r, g, b, a); }
inline void glClearDepth(GLdouble depth) { gl_functions->clear_depth(depth); }
inline void glGenTextures(GLsizei count, GLuint* names) { gl_functions->gen_textures(count, names); }
inline void glBindTexture(GLenum target, GLuint name) { gl_functions->bind_texture(target, name); }
inline void glTexParameteri(GLenum target, GLenum name, GLint value) { gl_functions->tex_parameteri(target, name, value); }
inline void glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width, GLsizei height,
                         GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
    gl_functions->tex_image_2d(target, level, internal_format, width, height, border, format, type, pixels);
}
inline void glPixelStorei(GLenum name, GLint value) { gl_functions->pixel_storei(name, value); }
inline void glGetIntegerv(GLenum name, GLint* values) { gl_functions->get_integerv(name, values); }
inline void glReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, GLvoid* pixels)
{
    gl_functions->read_pixels(x, y, w, h, format, type, pixels);
}
