// What a stand-in D2XX library exports: C names, visible outside the library.
#pragma once

#if defined(_WIN32)
#define STUB_EXPORT extern "C" __declspec(dllexport)
#else
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#endif
