#pragma once
// Section-length, stretch-ratio and tempo arithmetic shared by the status
// text, playback, the export check and the time-stretch worker. A result of
// 0 means the value cannot be computed; no input divides by zero.

// Length in seconds of `bars` bars of numerator/denominator at `tempo`
// quarter notes per minute, on a 1/10000 s grid plus 0.0005 s. 0 for a zero
// denominator or a tempo that is not positive.
double calcTempo(unsigned numerator, unsigned denominator, unsigned bars, double tempo);

// rangeSeconds / sectionSeconds; 0 when the section is shorter than 0.01 s.
double calcRatio(double sectionSeconds, double rangeSeconds);

// A stretch is allowed from 50 to 200 percent inclusive; NaN is outside.
bool isRatioOutOfRange(double percent);

// Tempo at which `bars` bars of the time signature last rangeSeconds
// (quarter notes per bar counted in whole quarters); 0 for any zero input
// or a range shorter than 0.0001 s.
double calcTempoFromBars(unsigned numerator, unsigned denominator, unsigned bars, double rangeSeconds);

bool isRatioBelowHalf(double ratio);
bool isRatioAboveDouble(double ratio);
