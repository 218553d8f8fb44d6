// Vectors, quaternions, matrices and colours.
#include "math/vector_math.h"

#include <cmath>

namespace tincrates {

namespace {

Vector3 subtract(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3 cross(Vector3 a, Vector3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vector3 normalise(Vector3 v)
{
    float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

uint32_t packChannel(float value)
{
    if (!(value > 0.0f)) // NaN packs as 0 too
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<uint32_t>(value * 255.0f);
}

} // namespace

Matrix4 identity()
{
    Matrix4 r{};
    r.m[0][0] = r.m[1][1] = r.m[2][2] = r.m[3][3] = 1.0f;
    return r;
}

Matrix4 multiply(const Matrix4& a, const Matrix4& b)
{
    Matrix4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j]
                + a.m[i][3] * b.m[3][j];
    return r;
}

Matrix4 translation(Vector3 v)
{
    Matrix4 r = identity();
    r.m[3][0] = v.x;
    r.m[3][1] = v.y;
    r.m[3][2] = v.z;
    return r;
}

Matrix4 scaling(Vector3 v)
{
    Matrix4 r{};
    r.m[0][0] = v.x;
    r.m[1][1] = v.y;
    r.m[2][2] = v.z;
    r.m[3][3] = 1.0f;
    return r;
}

Matrix4 rotationEuler(Vector3 angles)
{
    float cx = std::cos(angles.x), sx = std::sin(angles.x);
    float cy = std::cos(angles.y), sy = std::sin(angles.y);
    float cz = std::cos(angles.z), sz = std::sin(angles.z);
    Matrix4 r = identity();
    r.m[0][0] = cy * cz;
    r.m[0][1] = cy * sz;
    r.m[0][2] = -sy;
    r.m[1][0] = sx * sy * cz - cx * sz;
    r.m[1][1] = sx * sy * sz + cx * cz;
    r.m[1][2] = sx * cy;
    r.m[2][0] = cx * sy * cz + sx * sz;
    r.m[2][1] = cx * sy * sz - sx * cz;
    r.m[2][2] = cx * cy;
    return r;
}

Matrix4 rotationQuaternion(Quaternion q)
{
    float x = q.x, y = q.y, z = q.z, w = q.w;
    Matrix4 r = identity();
    r.m[0][0] = 1.0f - 2.0f * (y * y + z * z);
    r.m[0][1] = 2.0f * (x * y + z * w);
    r.m[0][2] = 2.0f * (x * z - y * w);
    r.m[1][0] = 2.0f * (x * y - z * w);
    r.m[1][1] = 1.0f - 2.0f * (x * x + z * z);
    r.m[1][2] = 2.0f * (y * z + x * w);
    r.m[2][0] = 2.0f * (x * z + y * w);
    r.m[2][1] = 2.0f * (y * z - x * w);
    r.m[2][2] = 1.0f - 2.0f * (x * x + y * y);
    return r;
}

Matrix4 transformMatrix(const Transform& t)
{
    return multiply(multiply(scaling(t.scale), rotationQuaternion(t.rotation)),
                    translation(t.position));
}

Matrix4 perspectiveFov(float fieldOfViewDegrees, float aspect, float nearPlane, float farPlane)
{
    // The degree factor is kept in single precision so projections match the original's.
    constexpr float radiansPerDegree = 0.017453292f;
    float c = 1.0f / std::tan(fieldOfViewDegrees * radiansPerDegree * 0.5f);
    Matrix4 r{};
    r.m[0][0] = c / aspect;
    r.m[1][1] = c;
    r.m[2][2] = farPlane / (farPlane - nearPlane);
    r.m[2][3] = 1.0f;
    r.m[3][2] = -nearPlane * farPlane / (farPlane - nearPlane);
    return r;
}

Matrix4 lookAt(Vector3 eye, Vector3 target, float roll)
{
    Vector3 f = normalise(subtract(target, eye));
    Vector3 s = cross(f, Vector3{0, 1, 0});
    Vector3 u = normalise(cross(s, f));
    // f × u rather than u × f: the scene is authored for this mirrored right axis, and the
    // materials' cull modes assume the winding it gives.
    Vector3 r = normalise(cross(f, u));
    Matrix4 basis = identity();
    basis.m[0][0] = r.x, basis.m[0][1] = u.x, basis.m[0][2] = f.x;
    basis.m[1][0] = r.y, basis.m[1][1] = u.y, basis.m[1][2] = f.y;
    basis.m[2][0] = r.z, basis.m[2][1] = u.z, basis.m[2][2] = f.z;
    basis = multiply(basis, rotationEuler(Vector3{0, 0, roll}));
    return multiply(translation(Vector3{-eye.x, -eye.y, -eye.z}), basis);
}

Vector3 translationOf(const Matrix4& m) { return {m.m[3][0], m.m[3][1], m.m[3][2]}; }

uint32_t packColour(Colour c)
{
    return (packChannel(c.a) << 24) | (packChannel(c.r) << 16) | (packChannel(c.g) << 8)
        | packChannel(c.b);
}

Vector3 transformPoint(Vector3 p, const Matrix4& m)
{
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

} // namespace tincrates
