#pragma once
// Put ahead of every C++ source of ours by the build (see CMakeLists.txt).
//
// libstdc++ declares the members of std::string and std::wstring as
// instantiated inside the library, so any use of a string links the
// library's whole string objects into a statically linked program: 47 KiB,
// most of it never called. The linker cannot drop the unused part, because
// the x64 unwind tables (.pdata) keep every function of an object alive.
// With those declarations off, the compiler instantiates the members a
// source uses in that source, and the linker keeps one copy of each.

#if __has_include(<bits/c++config.h>)
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
#endif
