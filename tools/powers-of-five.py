#!/usr/bin/env python3
# Prints the table of kit/codec/json/JBDecimal.cpp: for each power of ten 10^q, q from -342 to 308,
# the top 128 bits of 5^q (for q < 0, of 2^b / 5^-q, rounded up, for a b that leaves at least 128
# bits), as two 64-bit words, high word first.
rows = []
for q in range(-342, 0):
    p5 = 5 ** -q
    z = 0
    while (1 << z) < p5:
        z += 1
    b = z + 127 if q >= -27 else 2 * z + 128
    c = 2 ** b // p5 + 1
    while c >= 1 << 128:
        c //= 2
    rows.append(c)
for q in range(0, 309):
    p5 = 5 ** q
    while p5 < 1 << 127:
        p5 *= 2
    while p5 >= 1 << 128:
        p5 //= 2
    rows.append(p5)
for c in rows:
    print("    {0x%016x, 0x%016x}," % (c >> 64, c & ((1 << 64) - 1)))
