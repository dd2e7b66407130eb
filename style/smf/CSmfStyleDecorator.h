#pragma once
// The style object the rest of the system works with: loading and saving a
// style, its format version ("SFF1" or "SFF2", carried by a marker in the
// first track) with the conversion of first-version channel tables, removal
// of sections by a mask of style section ids, the mapping between section
// marker texts and style section ids, and the search for meta events. Beside
// these it offers an editing API on tracks, section marks and channel tables.
//
// A section's start is marked in a track either by a marker meta event whose
// text names a style section or by a control change 3 whose value is the
// style section id (0..23).

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "CSmfStyle.h"
#include "ResultCode.h"

// Events found in the tracks; they stay owned by their tracks.
using EventPtrList = std::vector<CEvnt*>;

// One section mark: its style id (24 for an end record) and time.
struct SectionRecord {
  std::uint8_t id = 24;
  std::uint64_t time = 0;
  bool operator==(const SectionRecord& o) const { return id == o.id && time == o.time; }
};
using SectionRecordList = std::vector<SectionRecord>;

// A part set-up request: source channel 1..16 and part mode 0..3.
struct PartPreset {
  std::uint8_t channel = 1;
  std::uint8_t mode = 0;
  bool operator<(const PartPreset& o) const { return channel != o.channel ? channel < o.channel : mode < o.mode; }
};
using PartPresetSet = std::set<PartPreset>;

// What CheckSectionEvents finds.
struct SectionCheckReport {
  std::vector<std::uint8_t> offBarControlChangeIds;  // control-change marks off a bar line
  std::vector<std::uint8_t> offBarMarkerIds;         // marker marks off a bar line
  std::vector<std::pair<std::uint8_t, std::uint8_t>> conflicts;  // different ids at one time
};

class CSmfStyleDecorator : public CSmfStyle {
 public:
  // Format version 2, no tracks, no sections.
  CSmfStyleDecorator() = default;
  ~CSmfStyleDecorator() override = default;

  // --- loading, saving, version ---
  // LoadBuffer over the vector's bytes. 1 empty vector; 2 + c.
  ResultCode Load(const std::vector<std::uint8_t>& bytes);
  // Parse (1 + c); when the style has sections, read the format version
  // (2 + c) and, for version 1, take the byte pairs into the tables (3 + c).
  ResultCode LoadBuffer(const std::uint8_t* bytes, std::uint64_t size);
  // From the first track's format marker: "SFF2" 2; "SFF1" 1 when a section
  // has byte pairs, else 0. 1 + c the marker search; 3 another text (the
  // version is kept).
  ResultCode ReadFormatVersion();
  // Version 1 only: the byte pairs into every section's tables; 2 + c.
  ResultCode ConvertSections();
  // Version 1: rebuilds every section's byte pairs first (1 + c); then
  // CSmfStyle::Serialize (2 + c). The format marker is never changed.
  ResultCode Save(std::vector<std::uint8_t>& out);
  // 1 null out-parameter.
  ResultCode GetFormatVersion(std::uint8_t* version) const;

  // --- sections by id and name ---
  // Removes the sections of the built style ids whose bit (0..23) is clear;
  // 1 when a clear bit belongs to an id that is never built (the walk goes on).
  ResultCode RemoveSectionsNotInMask(std::uint64_t mask);
  // Removes the name from the first section holding it; a section left
  // without names is deleted. 1 no section holds it.
  ResultCode RemoveSectionByName(const std::string& name);
  // Style id named by a marker's text; 24 for an empty text. 1 null event;
  // 2 + c / 3 + c reading the text; 4 + c the name lookup.
  ResultCode GetMarkerSection(const CEvnt* event, std::uint8_t* id) const;
  // Name to style id; id 24 unless found. 1 null text or length 0; 2 no match.
  static ResultCode SectionIdFromName(const char* text, std::uint64_t length, std::uint8_t* id);
  // Long name of a style id 0..23; 1 above (or null out).
  static ResultCode SectionIdToName(std::uint8_t id, std::string* name);

  // --- events ---
  // Every meta event of the type in track and list order. 3 + c / 4 + c
  // reading an event.
  ResultCode FindMetaEvents(std::uint8_t type, EventPtrList& events) const;
  // The format marker of the first non-null track (size 0 when it has none).
  // 1 null out-parameters; 2 no non-null track; else that track's answer.
  static ResultCode FindFormatMarker(const TrackVector& tracks, std::uint8_t* text, std::uint64_t* size);
  // FindFormatMarker on the own tracks. 1 null; 3 + c.
  ResultCode GetFormatMarkerText(std::uint8_t* text, std::uint64_t* size) const;
  // The latest end-of-track time over all tracks (0 first). 1 null out;
  // 1 + c reading an event; 2 a non-empty track whose last event is no end
  // of track.
  ResultCode GetEndTime(std::uint64_t* time) const;
  // 1 null argument; 2 + c / 3 + c reading the event.
  static ResultCode IsEndOfTrack(const CEvnt* event, bool* flag);
  // flag = a marker; id = the style id its text names (24 for none), for any
  // meta event. 1 null; 2 + c / 3 + c reading the event.
  ResultCode IsSectionMarker(const CEvnt* event, bool* flag, std::uint8_t* id) const;
  // Control change 3: id = its value, flag = value below 24; a null event
  // gives 0 and false. 1 + c / 2 + c reading the event; 3 null out.
  static ResultCode IsSectionControlChange(const CEvnt* event, bool* flag, std::uint8_t* id);

  // --- format version conversion ---
  // Converts tables, format marker and table ids to version 0, 1 or 2.
  ResultCode ChangeFormatVersion(std::uint8_t version);
  ResultCode ConvertTablesFromVersion0(std::uint8_t version);
  ResultCode ConvertTablesFromVersion1(std::uint8_t version);
  ResultCode ConvertTablesFromVersion2(std::uint8_t version);
  // Version 1: rebuilds every section's byte pairs (3 + c).
  ResultCode PrepareSave();
  ResultCode HasCnttData(bool* flag) const;
  ResultCode RetagTablesToCtab();
  ResultCode RetagTablesToCtb2();
  ResultCode ClearAllCntt();
  ResultCode ConvertAllCodesToCtb2();
  ResultCode ConvertAllCodesToCtab();
  ResultCode ClearAllRangeCode2(std::uint8_t mode);
  static ResultCode ApplyCnttToTables(SectionVector& sections);
  static ResultCode BuildCnttFromTables(SectionVector& sections);
  // CSection::SyncRangeFlags on every section; 1 + c.
  ResultCode SyncAllRangeFlags();
  // Replaces the first format marker found in the tracks. 1 null text or
  // n = 0; 3 + c none replaced.
  ResultCode ReplaceFormatMarkerText(const std::uint8_t* text, std::uint64_t n);
  // The same over the given tracks; 2 none replaced.
  static ResultCode ReplaceFormatMarkerInTracks(TrackVector& tracks, const std::uint8_t* text, std::uint64_t n);

  // --- tracks ---
  // MThd, then every track cut at `endTime` (CSmf::WriteTracksUntil).
  // 3 + c / 4 + c.
  ResultCode SerializeUntil(std::vector<std::uint8_t>& out, std::uint64_t endTime);
  // Replaces the own tracks by one merging all tracks of `other`, with the
  // format marker of `version` (0..2) and long section marker names; header
  // format 0, the other's division. 1 the other has no tracks; 3 + c
  // clearing; 4 no memory; 5 a null track; 6 + c merging; 7 + c / 8 + c the
  // marker; 9 + c the names; 10 a version above 2.
  ResultCode ImportTracks(const CSmf& other, std::uint8_t version);
  ResultCode SortAllTracks();
  // Deletes the track-name events at time 0.
  ResultCode RemoveTrackNamesAtStart();
  // Times of all note-ons with a velocity, in track and list order.
  ResultCode GetNoteOnTimes(std::vector<std::uint64_t>& times) const;
  ResultCode FindTimeSignatures(EventPtrList& events) const;
  ResultCode FindTempoEvents(EventPtrList& events) const;
  // Ticks per bar from the time signatures, which must all hold 4 bytes (7)
  // and be equal (8). 1 + (1) none; 9 a denominator power above 31;
  // 0x8000000A an SMPTE division.
  ResultCode GetBarLength(std::uint64_t* ticks) const;
  // Adds a copy of the first tempo event at every section control change
  // that has no tempo event at its time. 1 no tempo event.
  ResultCode CopyTempoToSectionStarts();

  // --- section names of the sections ---
  // Keeps the names that name a built audio section; a section left without
  // names becomes the default "Dummy" section.
  ResultCode KeepAudioSectionNames();
  // All section names regrouped: "Main", "Fill", "Intro", "Ending",
  // "Break Fill", then the rest, each group in its former order.
  ResultCode GetSectionNamesSorted(NameList& names) const;
  // "Fill In BA" becomes "Break Fill".
  static ResultCode RenameFillInBA(NameList& names);
  // Index of the first section named exactly by the audio section number's
  // long name, or 24.
  std::uint64_t FindSectionOfAudioNumber(std::int32_t number) const;

  // --- section marks ---
  ResultCode FindSectionControlChanges(EventPtrList& events) const;
  ResultCode FindSectionMarkers(EventPtrList& events) const;
  ResultCode GetSectionControlChangeRecords(SectionRecordList& records) const;
  ResultCode GetSectionMarkerRecords(SectionRecordList& records) const;
  // Keeps the style's first mark of that form and deletes every later one
  // at the previous mark's time or of an id already seen; `seen` (24 flags)
  // is updated for every mark met.
  ResultCode RemoveRepeatedSectionControlChanges(bool* seen);
  ResultCode RemoveRepeatedSectionMarkers(bool* seen);
  // Among events of one time, section markers come first.
  ResultCode MoveSectionMarkersFirst();
  // Gives every mark both forms and rewrites marker texts to long names.
  ResultCode ReconcileSectionMarks(const EventPtrList& controlChanges, const EventPtrList& markers);
  // Removals, collections, reconciliation, markers first (1..6 + c).
  ResultCode TidySectionEvents();
  // A control change 3 with the id at every section marker, inserted before
  // the events of the marker's time.
  ResultCode AddSectionControlChanges();
  // Inserts a marker with the id's long name before the events of that time.
  // 1 id above 23; 2 no memory; 3 + c setting it up; 4 + c inserting.
  ResultCode AddSectionMarker(CTrk* track, std::uint64_t time, std::uint8_t id);
  // A channel event (status with the channel in its low nibble) inserted
  // after / before the events of its time; a null track does nothing.
  // 1 no memory; 2..4 + c setting it up; 5 + c inserting.
  ResultCode AddChannelEvent(CTrk* track, std::uint64_t time, std::uint8_t status, const std::uint8_t data[4]);
  ResultCode AddChannelEventBeforeEqual(CTrk* track, std::uint64_t time, std::uint8_t status,
                                        const std::uint8_t data[4]);
  // Earliest time of the first section mark of each track; all ones when
  // there is none.
  ResultCode GetFirstSectionStart(std::uint64_t* time) const;
  // Appends {24, end time}; 1 + c.
  ResultCode AppendEndRecord(SectionRecordList& records) const;
  // Ids of the records (0..23) whose time is not on a bar line; 1 a bar
  // length of 0.
  static ResultCode FindOffBarSections(const SectionRecordList& records, std::uint64_t barLength,
                                       std::vector<std::uint8_t>& ids);
  // Ids of two records with equal time and id.
  static ResultCode FindDuplicateSections(const SectionRecordList& records, std::vector<std::uint8_t>& ids);
  // Id pairs of two records with equal time and different ids.
  static ResultCode FindConflictingSections(const SectionRecordList& records,
                                            std::vector<std::pair<std::uint8_t, std::uint8_t>>& pairs);
  // Ids of two records with equal id and different times.
  static ResultCode FindRepeatedSections(const SectionRecordList& records, std::vector<std::uint8_t>& ids);
  // Moves every track's end of track (4 none, 3 later than `time`) to the
  // time, with the section marks other than Main A's at or after the old end.
  ResultCode SetEndTime(std::uint64_t time);
  // When no marker names Main A, adds Main A in both forms at the end time
  // rounded up to a bar and ends the style one bar later.
  ResultCode AppendMainA();
  // Ids and start bars of the first n (1..25) marks of that form, then the
  // track slots' ids missing from them with the end bar. 1 n out of range;
  // 1 + c / 2 + c / 3 + c bar length, end time, collection; 8 no room;
  // 9 a bar length of 0.
  ResultCode GetSectionStartsFromMarkers(std::uint8_t* ids, std::uint64_t* bars, std::size_t n) const;
  ResultCode GetSectionStartsFromControlChanges(std::uint8_t* ids, std::uint64_t* bars, std::size_t n) const;
  // Values of the first n section control changes, the rest 255. 1 null;
  // 2 none.
  ResultCode GetSectionIdsFromControlChanges(std::uint8_t* ids, std::size_t n) const;
  // Names sections 1 and (2, 0, 0)[mode] from the section control changes.
  ResultCode NameSectionsFromControlChanges(std::uint8_t mode);
  // Range-1 presets by channel group and part mode for sections 1 and
  // (2, 0, 0)[mode].
  ResultCode ApplyPartPresets(std::uint8_t mode, const PartPresetSet& presets);
  // splitHigh 127 (part mode 0) or 95 for each record's table in every section.
  ResultCode SetSplitHighForParts(const PartPresetSet& presets);
  // Bit per style id whose sections hold no sounding note.
  ResultCode GetSilentSectionMask(std::uint64_t* mask) const;
  // Range 1 of a table := the (b0, b1 code, b1 flag) triple of variant 1..12.
  // 1 null table; 2..4 + c the setters; 5 an unknown variant.
  static ResultCode SetRange1Preset(CCtabData* table, std::uint8_t variant);
  // Off-bar marks of each form and conflicting marks. 1 + c bar length;
  // 2 a bar length of 0.
  ResultCode CheckSectionEvents(SectionCheckReport* report) const;

 protected:
  // 0: "SFF1" without byte pairs; 1: "SFF1" with byte pairs; 2: "SFF2".
  std::uint8_t formatVersion_ = 2;

 private:
  ResultCode ForEachSection(ResultCode (*op)(CSection&), unsigned step);
  ResultCode CollectMarks(bool controlChanges, SectionRecordList* records, EventPtrList* events) const;
  ResultCode RemoveRepeatedMarks(bool controlChanges, bool* seen);
  ResultCode GetSectionStarts(bool controlChanges, std::uint8_t* ids, std::uint64_t* bars, std::size_t n) const;
  ResultCode AddChannelEventAt(CTrk* track, std::uint64_t time, std::uint8_t status, const std::uint8_t data[4],
                               bool beforeEqual);
  CTrk* TrackOf(const CEvnt* event) const;
};
