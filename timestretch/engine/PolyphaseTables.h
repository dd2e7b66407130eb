#pragma once
// The six low-pass tables of the polyphase rate changer, by length and use:
// 70A (by 4 at 44100 Hz), 70B (by 4 at 22050 Hz), 70C (by 2 at 11025 Hz),
// 110 (decimating by 4 at 11025 Hz), 170 (by 8) and 50 (by 2 at 44100 or
// 22050 Hz). Each is symmetric, so the filters keep a linear phase, and
// none is normalised to a sum of 1. Made by tools/design-polyphase-tables.py.

namespace PolyphaseTables {

extern const double k70A[70];
extern const double k70B[70];
extern const double k70C[70];
extern const double k110[110];
extern const double k170[170];
extern const double k50[50];

}  // namespace PolyphaseTables
