// gl11.cpp: the renderer of the desktop builds: every call of platform/gl.h
// goes straight to the system's OpenGL 1.1 (and GLU), the same calls with the
// same arguments as if the program called them itself.
// Depends on OpenGL 1.1 and GLU (libGL or opengl32, glu32).
#include "gl_dispatch.h"

#include <GL/gl.h>
#include <GL/glu.h>

// Lambdas rather than the entry points' addresses: on Windows those have
// the system's calling convention, not the table's.
const GlFunctions gl11_functions = {
    .begin = [](GLenum mode) { glBegin(mode); },
    .end = []() { glEnd(); },
    .vertex3f = [](GLfloat x, GLfloat y, GLfloat z) { glVertex3f(x, y, z); },
    .tex_coord2f = [](GLfloat s, GLfloat t) { glTexCoord2f(s, t); },
    .normal3f = [](GLfloat x, GLfloat y, GLfloat z) { glNormal3f(x, y, z); },
    .color3f = [](GLfloat r, GLfloat g, GLfloat b) { glColor3f(r, g, b); },
    .matrix_mode = [](GLenum mode) { glMatrixMode(mode); },
    .load_identity = []() { glLoadIdentity(); },
    .push_matrix = []() { glPushMatrix(); },
    .pop_matrix = []() { glPopMatrix(); },
    .translatef = [](GLfloat x, GLfloat y, GLfloat z) { glTranslatef(x, y, z); },
    .rotatef = [](GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { glRotatef(angle, x, y, z); },
    .scalef = [](GLfloat x, GLfloat y, GLfloat z) { glScalef(x, y, z); },
    .ortho = [](GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
        glOrtho(l, r, b, t, n, f);
    },
    .perspective = [](GLdouble fovy, GLdouble aspect, GLdouble n, GLdouble f) {
        gluPerspective(fovy, aspect, n, f);
    },
    .viewport = [](GLint x, GLint y, GLsizei w, GLsizei h) { glViewport(x, y, w, h); },
    .enable = [](GLenum cap) { glEnable(cap); },
    .disable = [](GLenum cap) { glDisable(cap); },
    .blend_func = [](GLenum s, GLenum d) { glBlendFunc(s, d); },
    .depth_func = [](GLenum func) { glDepthFunc(func); },
    .shade_model = [](GLenum mode) { glShadeModel(mode); },
    .hint = [](GLenum target, GLenum mode) { glHint(target, mode); },
    .clear = [](GLbitfield mask) { glClear(mask); },
    .clear_color = [](GLclampf r, GLclampf g, GLclampf b, GLclampf a) { glClearColor(r, g, b, a); },
    .clear_depth = [](GLdouble depth) { glClearDepth(depth); },
    .gen_textures = [](GLsizei n, GLuint* names) { glGenTextures(n, names); },
    .bind_texture = [](GLenum target, GLuint name) { glBindTexture(target, name); },
    .tex_parameteri = [](GLenum target, GLenum name, GLint value) { glTexParameteri(target, name, value); },
    .tex_image_2d = [](GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border,
                       GLenum format, GLenum type, const GLvoid* pixels) {
        glTexImage2D(target, level, internal, w, h, border, format, type, pixels);
    },
    .pixel_storei = [](GLenum name, GLint value) { glPixelStorei(name, value); },
    .get_integerv = [](GLenum name, GLint* values) { glGetIntegerv(name, values); },
    .read_pixels = [](GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, GLvoid* pixels) {
        glReadPixels(x, y, w, h, format, type, pixels);
    },
};
