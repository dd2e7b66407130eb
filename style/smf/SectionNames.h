#pragma once
// The numberings of style sections and their names.
//
// Style section id (0..23, 24 = none): 6 x variation (A..D) + kind (Main,
// Fill In to the same variation, Fill In to the neighbouring one, Intro,
// Ending, Break); used with the template style and its markers. The 15 ids
// with a printed name are the sections the application builds.
// Audio section number (0..19, -1 = none, printed "Dummy"): used by the
// audio style data.
// Track slot (0..14): the order in which the built sections follow one
// another along the template style's track.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ResultCode.h"

constexpr std::uint8_t kStyleIdNone = 24;
constexpr int kTrackSlotCount = 15;

// Style ids by track slot: Intro A, Fill In AA, Main A, Fill In BB, Main B,
// Fill In CC, Main C, Fill In DD, Main D, Fill In BA, Ending A, Intro B,
// Ending B, Intro C, Ending C.
extern const std::uint8_t TrackSectionOrder[kTrackSlotCount];

// Long name of a style id 0..23 ("Main A", ..., "Break D"); null above 23.
const char* StyleIdLongName(std::uint8_t id);
// The printed name of a built section's style id; null for ids that are
// never printed (2, 5, 11, 14, 17, 20..23) and above 23.
const char* StyleIdPrintedName(std::uint8_t id);

// The style-id parser: the first accepted form (in id order, then "Break
// Fill" and "Break") that the text of `length` bytes begins with. `id` is 24
// unless found. 1 null text or length 0; 2 no form matches.
ResultCode StyleIdFromText(const char* text, std::uint64_t length, std::uint8_t& id);

// Audio section number of the first form a C text begins with, or -1.
std::int32_t SectionNameToNumber(const char* text);
// Audio section number of the lowest-numbered form found anywhere in the
// text, or -1.
std::int32_t SectionStringToNumber(const std::string& text);
// Long name of an audio section number, "Dummy" for -1 and "" for any other
// number. The texts are constants; nothing is remembered between calls.
const char* SectionNumberToName(std::int32_t number);

// Style id of an audio section number 0..19; 255 above.
std::uint8_t AudioSectionToStyleId(std::uint32_t number);
// Style id of a track slot 0..14; 255 above.
std::uint8_t TrackSlotToStyleId(std::uint32_t slot);
// 1 for the 15 built sections' audio section numbers, else 0.
std::uint8_t IsSupportedAudioSection(std::uint32_t number);

// Sets table[0..n-1] to 255, then table[ids[i]] = ids[i + 1] for every id
// but the last that is not 255. `tableSize` is the number of entries the
// table holds: 1 null table or ids, or n above the table size; 2 an id at
// or beyond the table size (nothing written). n below 1 does nothing.
ResultCode BuildNextIdTable(std::uint8_t* table, std::size_t tableSize, std::size_t n, const std::uint8_t* ids);
// The style ids of track slots 0..n-1 (255 beyond slot 14) go into `work`,
// then BuildNextIdTable maps each to the id that follows it on the track.
ResultCode BuildNextTrackSlotTable(std::uint8_t* table, std::size_t tableSize, std::size_t n,
                                   std::vector<std::uint8_t>& work);

// id + 7 for ids 0..23; 255 above.
std::uint8_t OffsetStyleId(std::uint8_t id);
// 4 for index 8, 16 for index 16, 0 for other indices up to 22;
// 0xFFFFFFFF above 22.
std::uint32_t LookupTable23(std::uint32_t index);
// The character of "1A2B34D5E6F7" at the pitch class; '\0' above 11.
char PitchClassToKeyChar(std::uint32_t pitchClass);
// Canonical form of a chord type byte.
std::uint8_t CanonicalChordType(std::uint32_t type);
