// Included into every source of the web build (-include): emscripten 3.1.6 ships a C++
// library from before std::bit_cast, which the graphics device uses; its compiler has the
// builtin that the standard function is made of.
#pragma once

#ifdef __cplusplus
#include <bit>
#include <type_traits>

#if !defined(__cpp_lib_bit_cast)
namespace std {

template <class To, class From>
    requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To>
        && is_trivially_copyable_v<From>)
constexpr To bit_cast(const From& from) noexcept
{
    return __builtin_bit_cast(To, from);
}

} // namespace std
#endif
#endif
