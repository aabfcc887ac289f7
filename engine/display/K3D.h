#pragma once
#include <cstdint>

// The perspective set-up window creation runs once; the next world view undoes it.
class K3D {
public:
    static void initK3D(int32_t width, int32_t height);   // viewport, 45-degree perspective, depth test

    static float _screenWidth, _screenHeight;   // the size given to initK3D
};
