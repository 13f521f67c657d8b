#pragma once

// Hands the heap that freed objects leave back to the system. The C library keeps freed memory
// for the next allocations, and a report of a year frees over a hundred megabytes in many small
// pieces (its lines and cells) that it would otherwise keep for as long as the program runs.
// Called once a report and its output are gone; it does nothing where the library has no such call.
void giveBackFreedMemory();
