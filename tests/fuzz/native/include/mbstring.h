// The multibyte comparisons of the C runtime (implemented in
// WindowsLayer.cpp).
#pragma once

#include <cstddef>

int _mbsicmp(const unsigned char* a, const unsigned char* b);
int _mbsnbicmp(const unsigned char* a, const unsigned char* b, std::size_t bytes);
