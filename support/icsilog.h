#pragma once
// Tables of single-precision base-2 logarithms indexed by mantissa bits.

// Fills 2^n entries: entry i = log2(1 + i / 2^n), built by stepping a
// single-precision argument from 1 (exact for n = 23).
void fill_icsi_log_table2(unsigned n, float* table);

// Fills 2^n entries: entry i = log2 of the float with bit pattern
// 0x3f800000 + i * 2^(23 - n); entry 0 is 0.
void fill_icsi_log_table(int n, float* table);
