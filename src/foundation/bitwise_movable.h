#pragma once

#include <type_traits>

namespace corvane {

// Whether a T survives a bitwise move: its bytes copied elsewhere and the
// old bytes dropped without running its destructor, as AutoArray relocates
// elements. True for trivially copyable types. A type that owns through a
// pointer and keeps no pointer into itself (RString, Ref, records of such
// members) says so with a specialisation beside its definition:
//     template <> inline constexpr bool kBitwiseMovable<MyRecord> = true;
template <class T>
inline constexpr bool kBitwiseMovable = std::is_trivially_copyable_v<T>;

}  // namespace corvane
