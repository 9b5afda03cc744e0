/* Resource id of the 64-bit build that each 32-bit program carries (read by
   windres and by the C++ sources). */
#ifndef ORV_NATIVE_PROGRAM_ID_H
#define ORV_NATIVE_PROGRAM_ID_H

#define IDR_NATIVE_PROGRAM 300

#endif
