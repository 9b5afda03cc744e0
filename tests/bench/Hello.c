/* The start-up yardstick of ./orv bench: a hello world that loads what
   orvline.exe loads with itself, KERNEL32 and the C runtime, and nothing
   else. */
#include <stdio.h>

int main(void)
{
    puts("Hello, world!");
    return 0;
}
