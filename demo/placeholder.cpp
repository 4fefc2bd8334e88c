// placeholder.cpp: a few quads until the show exists.
#include "demo.h"
#include "framework/glwindow.h"
#include <GL/gl.h>
#include <cstdio>
void demo_init(const char*) {}
void demo_frame(const char*)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
}
int check_data_command() { fprintf(stderr, "oargala: --check-data is not built yet\n"); return 1; }
