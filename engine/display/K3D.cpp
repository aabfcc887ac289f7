#include "K3D.h"

#include <GL/gl.h>
#include <GL/glu.h>

float K3D::_screenWidth = 0;
float K3D::_screenHeight = 0;

void K3D::initK3D(int32_t width, int32_t height) {
    _screenWidth = float(width);
    _screenHeight = float(height);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, height != 0 ? double(width) / double(height) : 1.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}
