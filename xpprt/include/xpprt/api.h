// Visibility of the stand-in run-time's host interface.
#ifndef QUORVEL_XPPRT_API_H
#define QUORVEL_XPPRT_API_H

#if defined(_WIN32)
#ifdef XPPRT_BUILDING
#define XPPRT_API __declspec(dllexport)
#else
#define XPPRT_API __declspec(dllimport)
#endif
#else
#define XPPRT_API __attribute__((visibility("default")))
#endif

#endif
