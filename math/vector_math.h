// Vectors, quaternions, matrices and colours as all 3D and screen-space code uses them.
// Points are row vectors (p × M); in a product A × B, A acts first. Matrix4 has the memory
// layout of D3DMATRIX, so it goes to SetTransform unconverted.
#pragma once

#include <cstdint>

namespace tincrates {

struct Vector3 {
    float x, y, z;
};

// w last; (0, 0, 0, 1) is the identity. Never normalised by these operations.
struct Quaternion {
    float x, y, z, w;
};

struct Matrix4 {
    float m[4][4]; // m[row][column]
};

// The layout of D3DCOLORVALUE; nominal range 0 to 1.
struct Colour {
    float r, g, b, a;
};

struct Transform {
    Vector3 position{0, 0, 0};
    Quaternion rotation{0, 0, 0, 1};
    Vector3 scale{1, 1, 1};
};

Matrix4 identity();
// a × b: a acts first.
Matrix4 multiply(const Matrix4& a, const Matrix4& b);
Matrix4 translation(Vector3 v);
Matrix4 scaling(Vector3 v);
// Rx(x) × Ry(y) × Rz(z), radians.
Matrix4 rotationEuler(Vector3 angles);
// The rotation matrix of q as given, without normalising it.
Matrix4 rotationQuaternion(Quaternion q);
// scaling × rotation × translation.
Matrix4 transformMatrix(const Transform& t);
// Left-handed projection with depth 0 at `nearPlane` and 1 at `farPlane`.
Matrix4 perspectiveFov(float fieldOfViewDegrees, float aspect, float nearPlane, float farPlane);
// View matrix from `eye` towards `target`, up (0, 1, 0), turned by `roll` radians about the
// viewing axis. World +x lands on the left of the image. Undefined when eye equals target or
// the view is vertical.
Matrix4 lookAt(Vector3 eye, Vector3 target, float roll);
Vector3 translationOf(const Matrix4& m);
// Clamps each channel to [0, 1], scales by 255 and truncates: 0xAARRGGBB.
uint32_t packColour(Colour c);

// p × m for a point (w = 1), without the perspective divide.
Vector3 transformPoint(Vector3 p, const Matrix4& m);

} // namespace tincrates
