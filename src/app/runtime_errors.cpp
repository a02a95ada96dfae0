// How the C++ runtime reports its errors, for the program alone (and the test
// of this file; the other tests keep libstdc++'s own versions).
//
// The program links libstdc++ statically. libstdc++ reports a failed
// allocation, a length beyond max_size() or an index out of range through the
// functions below; its own versions build the matching std::logic_error or
// std::runtime_error from text, and those classes carry a second, copy-on-write
// std::string with them, and printf: some 55 KiB of the program. Here each of them throws
// std::bad_alloc instead. Nothing tells the types apart: the worker catches
// every exception and closes the window (update_thread.cpp), and in practice
// only running out of memory gets there. They still throw, so that catch
// still does its work.
//
// The default terminate handler prints the exception's demangled type to
// standard error, which a GUI program does not have, and then aborts; its
// demangler and what that pulls in come to some 70 KiB. This one aborts at
// once, as that one ends.

// libstdc++'s own declarations: a definition here that no longer matches one
// of them fails to compile rather than quietly defining something else.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_bad_cast() { throw bad_alloc(); }
void __throw_bad_typeid() { throw bad_alloc(); }
void __throw_bad_exception() { throw bad_alloc(); }
void __throw_logic_error(const char*) { throw bad_alloc(); }
void __throw_domain_error(const char*) { throw bad_alloc(); }
void __throw_invalid_argument(const char*) { throw bad_alloc(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_out_of_range(const char*) { throw bad_alloc(); }
void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }
void __throw_runtime_error(const char*) { throw bad_alloc(); }
void __throw_range_error(const char*) { throw bad_alloc(); }
void __throw_overflow_error(const char*) { throw bad_alloc(); }
void __throw_underflow_error(const char*) { throw bad_alloc(); }

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
