// cube.cpp: scene_cube, a textured box on the left of the screen turning about
// its vertical axis at 45 degrees a second, over a full-screen logo. The box
// is a static mesh of six quads sent in immediate mode through the window's
// perspective projection; depth testing is off, so the faces are painted in
// table order over each other.
// Depends on draw.h, the texture table, OpenGL.
#include "draw.h"
#include "show_internals.h"

#include "platform/gl.h"

// Scene state (static, never reset).
static float cube_angle;

// The cube from -1 to 1, faces -z, +z, +x, -x, +y, -y, four vertices each.
static const float cube_positions[24][3] = {
    {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, -1, -1},
    {-1, 1, 1}, {1, 1, 1}, {1, -1, 1}, {-1, -1, 1},
    {1, 1, 1}, {1, 1, -1}, {1, -1, -1}, {1, -1, 1},
    {-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1},
    {-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1},
    {-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1},
};
static const float cube_tex_coords[24][2] = {
    {0, 1}, {1, 1}, {1, 0}, {0, 0},
    {1, 1}, {0, 1}, {0, 0}, {1, 0},
    {0, 1}, {1, 1}, {1, 0}, {0, 0},
    {1, 1}, {0, 1}, {0, 0}, {1, 0},
    {0, 1}, {1, 1}, {1, 0}, {0, 0},
    {0, 0}, {1, 0}, {1, 1}, {0, 1},
};
// Sent with each vertex, though lighting is off.
static const float cube_normals[24][3] = {
    {0, 0, -1}, {0, 0, -1}, {0, 0, -1}, {0, 0, -1},
    {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1},
    {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0},
    {-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0},
    {0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0},
    {0, -1, 0}, {0, -1, 0}, {0, -1, 0}, {0, -1, 0},
};
static const int cube_vertex_count = sizeof cube_tex_coords / sizeof cube_tex_coords[0];

void scene_cube(float delta)
{
    cube_angle = cube_angle + delta * 45.0f;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glColor3f(1.0f, 1.0f, 1.0f);
    // The overlay quad leaves the model-view matrix at identity for the box.
    draw_full_screen(texture_table[SLOT_PELMA]);

    glTranslatef(-13.0f, 0.0f, -40.0f);
    glBindTexture(GL_TEXTURE_2D, texture_table[SLOT_CUBE]);
    glColor3f(0.7f, 0.7f, 0.7f);
    // Unreduced: 450 degrees over the scene's ten seconds.
    glRotatef(cube_angle, 0.0f, 1.0f, 0.0f);
    glScalef(7.0f, 8.0f, 2.0f);
    glBegin(GL_QUADS);
    for (int i = 0; i < cube_vertex_count; i++) {
        glNormal3f(cube_normals[i][0], cube_normals[i][1], cube_normals[i][2]);
        glTexCoord2f(cube_tex_coords[i][0], cube_tex_coords[i][1]);
        glVertex3f(cube_positions[i][0], cube_positions[i][1], cube_positions[i][2]);
    }
    glEnd();
}
