// Forced into every C++ source of the program image (app/CMakeLists.txt).
//
// The runtime library declares its std::string instantiation "extern", so a
// program that uses strings links the library's whole precompiled copy of
// the class (about 33 KB, compiled with exceptions and so with the unwinder
// and the exception classes behind it). With the declarations switched off
// here, each source instantiates the members it uses itself, without
// exceptions, and --gc-sections keeps only those.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
