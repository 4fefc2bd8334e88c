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
    [](GLenum mode) { glBegin(mode); },
    []() { glEnd(); },
    [](GLfloat x, GLfloat y, GLfloat z) { glVertex3f(x, y, z); },
    [](GLfloat s, GLfloat t) { glTexCoord2f(s, t); },
    [](GLfloat x, GLfloat y, GLfloat z) { glNormal3f(x, y, z); },
    [](GLfloat r, GLfloat g, GLfloat b) { glColor3f(r, g, b); },
    [](GLenum mode) { glMatrixMode(mode); },
    []() { glLoadIdentity(); },
    []() { glPushMatrix(); },
    []() { glPopMatrix(); },
    [](GLfloat x, GLfloat y, GLfloat z) { glTranslatef(x, y, z); },
    [](GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { glRotatef(angle, x, y, z); },
    [](GLfloat x, GLfloat y, GLfloat z) { glScalef(x, y, z); },
    [](GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) { glOrtho(l, r, b, t, n, f); },
    [](GLdouble fovy, GLdouble aspect, GLdouble n, GLdouble f) { gluPerspective(fovy, aspect, n, f); },
    [](GLint x, GLint y, GLsizei w, GLsizei h) { glViewport(x, y, w, h); },
    [](GLenum cap) { glEnable(cap); },
    [](GLenum cap) { glDisable(cap); },
    [](GLenum s, GLenum d) { glBlendFunc(s, d); },
    [](GLenum func) { glDepthFunc(func); },
    [](GLenum mode) { glShadeModel(mode); },
    [](GLenum target, GLenum mode) { glHint(target, mode); },
    [](GLbitfield mask) { glClear(mask); },
    [](GLclampf r, GLclampf g, GLclampf b, GLclampf a) { glClearColor(r, g, b, a); },
    [](GLdouble depth) { glClearDepth(depth); },
    [](GLsizei n, GLuint* names) { glGenTextures(n, names); },
    [](GLenum target, GLuint name) { glBindTexture(target, name); },
    [](GLenum target, GLenum name, GLint value) { glTexParameteri(target, name, value); },
    [](GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format, GLenum type,
       const GLvoid* pixels) { glTexImage2D(target, level, internal, w, h, border, format, type, pixels); },
    [](GLenum name, GLint value) { glPixelStorei(name, value); },
    [](GLenum name, GLint* values) { glGetIntegerv(name, values); },
    [](GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, GLvoid* pixels) {
        glReadPixels(x, y, w, h, format, type, pixels);
    },
};
