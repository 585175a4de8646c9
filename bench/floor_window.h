// The floor the dice is measured against: a bare window of the same class
// style and size that does nothing but invalidate itself on a key.
#ifndef BENCH_FLOOR_WINDOW_H
#define BENCH_FLOOR_WINDOW_H

#include <windows.h>

ATOM RegisterFloorClass(HINSTANCE hInstance);
HWND CreateFloorWindow(HINSTANCE hInstance);

#endif
