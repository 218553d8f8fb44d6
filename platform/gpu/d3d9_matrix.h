// The one place where the math library's matrices meet Direct3D's: Matrix4 and D3DMATRIX have
// the same layout (row vectors, m[row][column], translation in the last row), so a matrix
// crosses the device boundary unconverted, and the device multiplies with the math library.
#pragma once

#include "math/vector_math.h"
#include "platform/gpu/d3d9_types.h"

#include <bit>

namespace tincrates {

static_assert(sizeof(Matrix4) == sizeof(D3DMATRIX));

// For SetTransform: the matrix as Direct3D spells it; valid as long as `m` is.
inline const D3DMATRIX* asD3dMatrix(const Matrix4& m)
{
    return reinterpret_cast<const D3DMATRIX*>(&m);
}

inline Matrix4 toMatrix4(const D3DMATRIX& m) { return std::bit_cast<Matrix4>(m); }
inline D3DMATRIX toD3dMatrix(const Matrix4& m) { return std::bit_cast<D3DMATRIX>(m); }

} // namespace tincrates
