#pragma once
// Attaches analysed recordings to the audio sections of the style being
// built, and reads a recording's analysis info text into the model.
//
// Invariant after every successful SetSectionAudio: each audio section
// number stands in the names of at most one CAudioSection and in the Sdec
// names of at most one CAudioFile; a recording (identified by all 50 bytes
// of its name record) has one section entry and one file entry whose name
// lists hold every number assigned to it; entries left without names are
// deleted.
//
// The analysis info text is a byte string (not terminated) of twelve
// entries in the fixed order of InfoKeyTable. An entry is its key
// ("$PPQ$"), then comma-opened value fields (",480,"), then anything up to
// and including a line feed. List entries give a count and are followed by
// that many lines of TAB characters and value fields. The "$Volume$" entry
// may be missing. Decimal fields are unsigned; hexadecimal ones begin with
// "0x"; an empty field reads as 0.

#include <cstdint>
#include <string>
#include <vector>

#include "CAudioInfo.h"
#include "ResultCode.h"

// Ids of the info-text keys, in the order the entries must come.
namespace InfoKeyId {
constexpr std::uint8_t kSFormatTag = 0;
constexpr std::uint8_t kOriginalTempo = 1;
constexpr std::uint8_t kOriginalTimeSignature = 2;
constexpr std::uint8_t kPpq = 3;
constexpr std::uint8_t kSampleSize = 4;
constexpr std::uint8_t kNumberOfBars = 5;
constexpr std::uint8_t kSyncroPoint = 6;
constexpr std::uint8_t kBeatPoint = 7;
constexpr std::uint8_t kOnsetPoint = 8;
constexpr std::uint8_t kAttackPoint = 9;
constexpr std::uint8_t kTempoInfo = 10;
constexpr std::uint8_t kVolume = 11;
constexpr std::uint8_t kUnknown = 255;
}  // namespace InfoKeyId

struct InfoKey {
  const char* text;  // with its two '$'
  std::uint8_t id;
};

constexpr int kInfoKeyCount = 12;
extern const InfoKey InfoKeyTable[kInfoKeyCount];

class CAudioInfoDecorator : public CAudioInfo {
 public:
  ~CAudioInfoDecorator() override = default;

  // Assigns the recording (name record `name`, WAV file `wavPath`) to the
  // audio section number 0..19. The number is first taken away from the
  // entries that held it. When the recording already has a section and a
  // file entry, both only gain the number (the text is not read and
  // `volume` not written). Otherwise its entries are found or made and the
  // text is read into them: `volume` (may be null) receives the text's
  // volume, and *pan and *effectDepth become the mix's controllers 10 and
  // 91. The path is taken as `wavPathLength` bytes, ending early at a zero
  // byte. 1 null text or length 0; 2 null name or length 0; 3 null path or
  // length 0; 4 a number outside 0..19; 5 + c / 6 + c making the section /
  // file entry; 7 / 8 the entry is gone; 9 + c reading the text; 0x0A null
  // pan or effectDepth.
  ResultCode SetSectionAudio(const std::uint8_t* text, std::uint64_t textLength, const std::uint8_t* name,
                             std::uint64_t nameLength, const std::uint8_t* wavPath, std::uint64_t wavPathLength,
                             std::int64_t audioSectionNumber, std::uint8_t* volume, std::uint8_t* pan,
                             std::uint8_t* effectDepth);
  // SetSectionAudio over the arguments' bytes; 1 + c.
  ResultCode SetSectionAudioFromStrings(const std::vector<std::uint8_t>& text, const std::string& name,
                                        const std::string& wavPath, std::int64_t number, std::uint8_t volume,
                                        std::uint8_t pan, std::uint8_t effectDepth);

  // The last file entry (with wave form, style description and CSection)
  // whose Sdec names name the number; null when none or number < 0.
  CAudioFile* FindFileBySection(std::int64_t number) const;
  // The last section entry whose names name the number; null when none or
  // number < 0.
  CAudioSection* FindSectionByNumber(std::int64_t number) const;
  // The first section whose first table's name record equals the name made
  // into a 50-byte record (zero-padded); `number` gets the audio section
  // number of its first name (-1 when it has none).
  bool FindSectionByNameRecord(const std::uint8_t* name, std::uint64_t length, std::int64_t& number) const;
  // The same over the files' name records and first Sdec names.
  bool FindFileByNameRecord(const std::uint8_t* name, std::uint64_t length, std::int64_t& number) const;

  // The section entry of the number, made when there is none, initialised
  // (CAudioSection::Init), named by the number and given the name record.
  // 1 null name or length 0; 2 a number outside 0..19; 3 no memory; 4 + c
  // Init (the entry is removed); 5 + c naming; 6 + c the name record.
  ResultCode FindOrCreateSection(const std::uint8_t* name, std::uint64_t length, std::int64_t number);
  // The file entry of the number, made when there is none (CAudioFile::Init),
  // its Sdec names reset to the number's name, given the name record and
  // the WAV path. 1 null name or length 0; 2 null path or length 0; 3 a
  // number outside 0..19; 4 + c Init; 5 no memory; 6 + c / 7 + c the Sdec
  // section; 8 + c the name record; 9 + c the path; 0x0A a part missing.
  ResultCode FindOrCreateFile(const std::uint8_t* name, std::uint64_t length, const std::uint8_t* wavPath,
                              std::uint64_t wavPathLength, std::int64_t number);
  // Takes the number out of every section (file) entry; entries left
  // without names are deleted. 1 + c reading names.
  ResultCode UnlinkSections(std::int64_t number);
  ResultCode UnlinkFiles(std::int64_t number);

  // Reads the twelve entries into the section's mix and resolution and the
  // file's style description and analysis results, then sets volume, pan
  // and effect depth on the mix and makes sure it ends. 1 null text or
  // length 0; 2 null section or file; 3..14 + c the entry handlers in key
  // order; 15 + c the mix.
  ResultCode ParseInfoText(const std::uint8_t* text, std::uint64_t length, CAudioSection* section, CAudioFile* file,
                           std::uint8_t* volume, std::uint8_t pan, std::uint8_t effectDepth);
  // Reads the "$OnsetPoint$" entry of an info text, after six key lines and
  // two list entries that are stepped over, into the second point list of
  // the number's recording. `a` and `b` must point to non-zero values and
  // are not used otherwise. 1 null text or length 0; 2 `a` or `b` null or
  // zero; 3 number < 0; 4 no recording; 5 + c reading.
  ResultCode UpdatePoints2(const std::uint8_t* text, std::uint64_t length, const std::uint64_t* a,
                           const std::uint64_t* b, std::int64_t number);
  // SetVolume, SetPan, SetEffectDepth. 1 null mix; 2..4 + c.
  static ResultCode ApplyMix(CAMixData* mix, std::uint8_t volume, std::uint8_t pan, std::uint8_t effectDepth);
  // How often the number's recording repeats to fill `lengthInBars`:
  // lengthInBars / bars - 1 when the recording is not longer. 1 length 0;
  // 2 no recording; 3 no bar count; 4 the length is no multiple of it.
  ResultCode GetRepeatCount(std::int64_t number, std::uint8_t lengthInBars, std::uint8_t& count) const;

  ResultCode ClearSections();
  ResultCode ClearFiles();

  // --- scanning an info text; the cursor is an offset into `text` ---
  // id = the key at the cursor ('$' to '$'), 255 when unknown; the cursor
  // moves behind it. No closing '$': 0, id 255, cursor at the end. 1 null
  // text; 2 cursor at or past the end; 3 no '$' at the cursor.
  static ResultCode ReadKeyId(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                              std::uint8_t& id);
  // A field from the comma at the cursor to the next comma, where the cursor
  // is left. value = 0 first; an unclosed field leaves the cursor at the end
  // with 0. 1 null text; 2 cursor at or past the end; 3 no comma at the
  // cursor; 4 not a number.
  static ResultCode ParseDecimalField(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                                      std::uint64_t& value);
  // As ParseDecimalField; fields without "0x" or shorter than 3 read as 0.
  static ResultCode ParseHexField(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                                  std::uint64_t& value);
  // Past the next line feed, or to the end. 1 null; 2 cursor at the end.
  static ResultCode SkipLine(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor);
  // Past TAB characters. 1 null.
  static ResultCode SkipTabs(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor);
  // `count` list lines into new records appended to the emptied list; the
  // records of lines read before a failing one stay.
  static ResultCode ParseSyncroPointLines(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                                         std::uint64_t count, SyncroPointList& list);
  static ResultCode ParsePointLines(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                                    std::uint64_t count, AudioPointList& list);
  static ResultCode ParseTempoLines(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                                    std::uint64_t count, AudioTempoList& list);
  // `count` lines of three decimal fields, read and dropped. 3..5 + c the
  // fields; 6 + 2 no line end.
  static ResultCode SkipListLines(const std::uint8_t* text, std::uint64_t length, std::uint64_t& cursor,
                                  std::uint64_t count);

 private:
  CAudioSection* SectionOfNameRecord(const std::uint8_t* name, std::uint64_t length, std::int64_t* number) const;
  CAudioFile* FileOfNameRecord(const std::uint8_t* name, std::uint64_t length, std::int64_t* number) const;
  ResultCode ReadPoints2(const std::uint8_t* text, std::uint64_t length, CAudioFile* file);
};
