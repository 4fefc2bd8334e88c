// draw.cpp: begin_overlay and draw_quad, in immediate-mode OpenGL 1.1 (platform/gl.h).
#include "draw.h"

#include "platform/gl.h"

void begin_overlay()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 640.0, 0.0, 480.0, -200.0, 200.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void draw_quad(float x, float y, float w, float h, uint32_t texture, uint8_t overlay, float angle)
{
    float z = 0.0f;
    if (overlay) {
        begin_overlay();
        z = -100.0f;
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);

    float hw = w * 0.5f;
    float hh = h * 0.5f;
    glTranslatef(x + hw, y + hh, 0.0f);
    glRotatef(angle, 0.0f, 0.0f, 1.0f);

    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f); glVertex3f(-hw, hh, z);
    glTexCoord2f(1.0f, 1.0f); glVertex3f(hw, hh, z);
    glTexCoord2f(1.0f, 0.0f); glVertex3f(hw, -hh, z);
    glTexCoord2f(0.0f, 0.0f); glVertex3f(-hw, -hh, z);
    glEnd();

    if (overlay) {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
}

void draw_full_screen(uint32_t texture) { draw_quad(0.0f, 0.0f, 640.0f, 480.0f, texture, 1, 0.0f); }
