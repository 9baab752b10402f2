// What the core uses of C++20's library and Emscripten 3.1.6's libc++ (LLVM 14) lacks, supplied
// for the web build alone: every core file is compiled with this header included first.
#pragma once

#include <memory>
#include <type_traits>

#if !defined(__cpp_lib_smart_ptr_for_overwrite) && defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 15000
namespace std {
// An array whose elements are default-initialized: for bytes, left as they are.
template <class T>
  requires is_unbounded_array_v<T>
unique_ptr<T> make_unique_for_overwrite(size_t n) {
  return unique_ptr<T>(new remove_extent_t<T>[n]);
}
}  // namespace std
#endif
