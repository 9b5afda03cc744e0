// The multibyte character classes of the C runtime, for the code page that
// SetMultibyteCodePage chose (implemented in WindowsLayer.cpp).
#pragma once

int _ismbblead(unsigned int c);
int _ismbbtrail(unsigned int c);
int _setmbcp(int codePage);
#define _MB_CP_ANSI (-3)
