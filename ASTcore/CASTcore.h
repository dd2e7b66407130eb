#pragma once
// The project core: owns one project model, its undo stack, the five
// managers that drive the analysis, stretch, style and file engines, the
// resource paths and the per-section render state.
//
// Every operation returns a ResultCode (0 success, 0x80000000 + step on
// failure, a failing callee's code shifted left by 4 and OR-ed in) and
// catches exceptions at its own boundary: a caught exception sets the
// exception flag and becomes a failure code. A core is used by one thread
// at a time; compound edits work on a short-lived scratch core and hand the
// result back as one "set all" undo step.

#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AllInfo.h"
#include "SegItem.h"
#include "ResultCode.h"

class ASTundo;
class IF_onsetAnalyzer;
class IF_prjMngr;
class IF_segmenter;
class IF_styMngr;
class IF_timeStretch;
template <typename T>
class ISeekable;

class CASTcore {
 public:
  static constexpr int kSectionCount = AllInfo::kSectionCount;

  CASTcore();
  ~CASTcore();
  CASTcore(const CASTcore&) = delete;
  CASTcore& operator=(const CASTcore&) = delete;

  // Takes over the other core's model (one "set all" step) and its paths.
  ResultCode copyFrom(const CASTcore& other);

  // --- Project lifecycle ---
  ResultCode newProject();
  // Reads a project file. On failure the model and the undo history are
  // exactly as they were before the call.
  ResultCode openProject(const std::wstring& path);
  // Writes the project file; on success the history is cleared and the
  // project counts as unmodified.
  ResultCode saveProject(const std::wstring& path);
  ResultCode saveAwi(const std::wstring& path, std::uint8_t wavNo);
  ResultCode loadAwi(const std::wstring& path, std::uint8_t wavNo);
  bool isModified() const;

  // --- Waves ---
  // Appends a copy of the record as one undo step. On success the record
  // passed in is destroyed; on failure it stays with the caller.
  ResultCode addWavList(WavInfo* info);
  // Adds the wave of an analysed-wave file (for the first wave also its
  // sections and common record) as one undo step, after checking it against
  // the audio length in frames. Ownership of `info` as for addWavList.
  ResultCode addAnalyzedFile(WavInfo* info, const QString& awiPath, std::uint64_t audioLength);
  // Removes wave n as one undo step: sections on it are reset (to no wave),
  // sections on later waves are renumbered.
  ResultCode removeWave(std::uint8_t wavNo);
  // Removes the record from the list without destroying it; no undo step.
  ResultCode detachWave(std::uint8_t wavNo);
  ResultCode clearWaveList();
  ResultCode resetCommonInfo();
  ResultCode getWaveInfo(std::uint8_t wavNo, WavInfo** out);
  ResultCode setWaveInfo(std::uint8_t wavNo, const WavInfo& info);
  ResultCode setWaveFileName(std::uint8_t wavNo, const std::wstring& name);
  ResultCode getExtList(int wavNo, std::vector<std::uint64_t>** out);
  ResultCode setExtList(int wavNo, const std::vector<std::uint64_t>& list);
  std::size_t waveCount() const { return allInfo.wavCount(); }

  // --- Model access ---
  const AllInfo& getAllInfo() const { return allInfo; }
  ComnInfo getCommonInfo() const;

  // --- Undoable edits ---
  // Replaces the whole model; always one "set all" step.
  ResultCode setAllInfo(const AllInfo& info);
  // Replaces one slot as a "set section" step. An equal record adds no step;
  // a record that differs only in its rendered length is stored directly.
  ResultCode updateSecInfo(std::uint8_t slot, const SecInfo& sec);
  // As updateSecInfo under the given step text; consecutive edits of the
  // same slot with the same text (a dragged control) collapse into one step.
  ResultCode updateSecInfoNamed(std::uint8_t slot, const SecInfo& sec, const QString& macroText);
  // Replaces the common record as a "set common" step; an equal record adds
  // no step. Out-of-range values are refused.
  ResultCode setCommonInfo(const ComnInfo& comn);
  // Length in frames of the fade a section with its fade switch gets at
  // both ends when rendered (the window sets 0.026 s worth).
  void setFadeLength(std::uint64_t frames) { fadeLen = frames; }
  std::uint64_t fadeLength() const { return fadeLen; }
  ResultCode setVolume(std::uint8_t value);
  ResultCode setPan(std::uint8_t value);
  ResultCode setRevSend(std::uint8_t value);
  // Sets the project tempo and drops every section's rendered audio and
  // stretch ratios.
  ResultCode updateTempo(std::uint64_t tempo);
  ResultCode setNormDepth(std::uint8_t value);
  ResultCode setNormSw(std::uint8_t value);

  // --- Sections ---
  ResultCode getSecInfo(std::uint8_t slot, SecInfo** out);
  // Validates the record against the wave's beat grid (completing its bar
  // structure) and stores it as one "set section" step. The user's message
  // for a refused pickup is left in lastError.
  ResultCode setSecInfo(std::uint8_t slot, const SecInfo& sec);
  // Validates and completes `sec` in place: bar count, bar lines, barFit.
  ResultCode checkBeatSetting(std::uint8_t slot, SecInfo& sec);
  // All 15 slots to the reset state; no undo step.
  ResultCode resetSections();
  ResultCode isAnySectionUsed(bool& used) const;
  ResultCode setHalfBeat(std::uint8_t slot, std::uint8_t flag);
  // Address of the section's first beat, its pickup included.
  ResultCode getSecStartAddress(std::uint8_t slot, std::uint64_t& address);
  // Playable range of the section with its pickup, clamped to the audio.
  // When the pickup had to be clamped, `warning` receives the text for the
  // user (the core never shows a dialog itself: it may run on a worker).
  ResultCode getPickupRange(std::uint8_t slot, std::uint64_t& start, std::uint64_t& end,
                            QString* warning = nullptr);
  ResultCode getSecLastBarAddress(std::uint8_t slot, std::uint64_t& address);
  // Address one bar after the beat at the section's end.
  ResultCode getSecNextBarAddress(std::uint8_t slot, std::uint64_t& address);
  // Tempo of the section's span in beats per minute; also stored as the
  // tempo of the section's wave.
  ResultCode calcSecTempo(std::uint8_t slot, std::uint64_t& tempo);

  // --- Beat grid ---
  // The beat at or nearest the address (a tie goes to the later beat).
  ResultCode getBeatPosOfAddress(std::uint8_t wavNo, std::uint8_t half, std::uint64_t address,
                                 std::uint32_t& beat) const;
  ResultCode getAddressOfBeat(std::uint8_t wavNo, std::uint8_t half, std::uint32_t beat,
                              std::uint64_t& address) const;

  // --- Time signature and beat grid ---
  ResultCode getTimeSig(std::uint8_t& num, std::uint8_t& den) const;
  // Sets the time signature as one "set all" step; sections are kept as
  // they are.
  ResultCode setTimeSig(std::uint8_t num, std::uint8_t den);
  // Sets the time signature, resets every section and assigns them afresh
  // from each wave's structure for the new meter, as one "set all" step.
  ResultCode changeTimeSig(std::uint8_t num, std::uint8_t den);
  // Re-divides wave `wavNo`'s grid: mode 0 beats twice as long, 1 half as
  // long, 2 three times as long, 3 a third as long. `newDiv` receives the
  // new division; texts for the user go to `message`. One "set all" step.
  ResultCode divBeatDnUp(std::uint8_t mode, std::uint8_t wavNo, std::uint8_t beatArg, std::uint8_t refresh,
                         std::uint16_t& newDiv, QString& message);
  // Re-derives the half-beat flag of every section on the wave; sections
  // whose start and end disagree are named in `message`.
  ResultCode toggleBeat(std::uint8_t wavNo, QString& message);
  // verdict 1: beats faster than 500 per minute, 2: slower than 5, else 0.
  ResultCode checkBeatTempo(std::uint16_t beatDiv, const std::vector<float>& times, std::uint8_t& verdict) const;
  ResultCode reduceGridBy3(WavInfo& wave, std::uint8_t& tooFar) const;
  ResultCode halveGrid(WavInfo& wave, std::uint8_t& tooFar) const;
  ResultCode doubleGrid(WavInfo& wave, std::uint16_t newDiv, std::uint8_t& tooFar) const;
  ResultCode tripleGrid(WavInfo& wave, std::uint16_t newDiv, std::uint8_t& tooFar) const;

  // --- Analysis stages ---
  // Runs the segmenter on a work copy and stores its segments as both
  // segment lists of wave 0.
  ResultCode doSegmenter(const QString& path, std::uint64_t options);
  // flags: 1 replaces the original list (clearing the working one), 2 the
  // working list.
  ResultCode setSegLbl(const std::vector<SegLabel>& list, std::uint32_t flags);
  // May be called from another thread while doSegmenter runs.
  void abortSegmenter();
  void getBeatSecondList(std::vector<float>& times, std::uint8_t& num, std::uint8_t& den);
  ResultCode analyzeOnset(const QString& path, std::uint64_t& frames, std::vector<float>& times);
  ResultCode updateBeat(std::uint8_t wavNo, const std::vector<float>& times);
  ResultCode updateOnset(std::uint8_t wavNo, const std::vector<float>& times);
  // Bar length from the trimmed mean beat interval and the numerator.
  ResultCode estimateBarLen(std::uint8_t wavNo);
  // Closes the beat grid at the end of the audio and anchors section edges
  // near the final beat on it.
  ResultCode addLastAdrsAsBeat(std::uint8_t wavNo);
  // Sets the project's time signature, re-validating every section, as one
  // undo step.
  ResultCode setBeatRange(std::uint8_t num, std::uint8_t den);
  // After a grid change: bar length, the wave's sections and the tempo.
  ResultCode refreshSecBars(std::uint8_t wavNo, std::uint8_t tempoSlot, const QString& savedError);

  // --- Initial section assignment ---
  // Proposes the sections of wave `wavNo` from its labelled segments (mode
  // 0: all segments; mode 1: refit from frame `position` on) and takes the
  // style tempo from "Main A".
  ResultCode makeInitSecAsgnBySegLbl(std::uint8_t wavNo, std::uint8_t mode, std::uint64_t position);
  // Fits the segment boundaries of `in` to whole bars into `out`.
  ResultCode fitSegForTS(std::uint8_t wavNo, const std::vector<SegItem>& in, std::vector<SegItem>& out,
                         std::uint8_t mode, std::uint8_t half, std::uint64_t position);
  // Writes the chosen segments into their slots, ending on bar lines.
  ResultCode doSegToSec(std::uint8_t wavNo, std::uint8_t half, const std::vector<SegItem>& chosen);
  // The address of the beat nearest to `address`.
  ResultCode snapToBeat(std::uint8_t wavNo, std::uint8_t half, std::uint64_t address, std::uint64_t& out);
  // The bar-fitted end address of item k (a whole number of bars, powers of
  // two preferred, within 1.5 bars of the segmenter's length).
  ResultCode fitSegEndToBars(std::uint8_t wavNo, std::uint8_t half, const std::vector<SegItem>& in,
                             const std::vector<SegItem>& out, int k, std::uint64_t& endAddress) const;
  ResultCode snapSegTimesToBeats(std::vector<SegLabel>& entries, std::uint8_t wavNo, std::uint8_t half);
  // Bar lines of a section are its anchor beat plus whole bars. The last one
  // before `beat` / the first one at or after it, as beat numbers.
  ResultCode prevBarBeat(std::uint8_t slot, std::uint32_t beat, std::uint64_t& out) const;
  ResultCode nextBarBeat(std::uint8_t slot, std::uint32_t beat, std::uint64_t& out) const;
  // The half-beat point before (or after) `address` on the section's wave:
  // its beat number and whether it lies on the other half-beat grid.
  ResultCode halfBeatNeighbour(std::uint8_t slot, std::uint64_t address, bool after, std::uint32_t& beat,
                               std::uint8_t& flips) const;
  static constexpr std::uint8_t kNearestGrid = 1;
  static constexpr std::uint8_t kNearestBar = 2;
  static constexpr std::uint8_t kNearestOnset = 4;
  // The grid entry, bar line or onset (kinds chosen by `mask`) nearest to
  // `address` on the section's wave.
  ResultCode nearestPoint(std::uint8_t slot, std::uint64_t address, std::uint8_t mask, std::uint64_t& out) const;

  // --- Section rendering ---
  // The slot's range of "AST_temp.wav" (in the temporary folder), padded to
  // whole bars where the slot asks for it, stretched to the project tempo,
  // faded when its fade switch is on, written to its working wave
  // "AST_temp_<name>.wav". On success the rendered length is recorded in
  // SecInfo.holdValue (no undo step) and the slot counts as rendered. A
  // stretch ratio outside 0.5..2.0 sets *ratioFlag (never cleared here),
  // records length 0, clears the rendered flag and still returns 0. Messages
  // for the user go to lastError.
  ResultCode renderAudition(std::uint8_t slot, std::uint8_t* ratioFlag);
  // Makes the work copy "AST_temp.wav" of the recording of slot `slot`
  // before the slots on that recording are rendered.
  using SourcePreparer = std::function<ResultCode(std::uint8_t slot)>;
  // Renders the slots `sections` as renderAudition does one after the
  // other, up to `threads` of them side by side (0: all of a recording's at
  // once, up to twice the processors available), on a scratch core each
  // with a time-stretch manager of its own. The slots of one
  // wave are rendered together, after `prepareSource` (when given) made
  // that wave's work copy; the results are taken over in list order, so the
  // records, the messages and the ratio flag are those of the calls one
  // after the other, and so are the working waves up to a failure (a slot
  // after a failing one may hold a new wave without its record or rendered
  // flag, which every reader renders again). Stops at the first slot in
  // list order that fails: 0x80000001 | inner << 4 when its source could
  // not be prepared, 0x80000002 | inner << 4 when its rendering failed. `stop`,
  // set from another thread, lets no further slot start and ends the
  // stretches under way: 0x80000003, and the slots finished before the
  // first one it ended are kept. 0x80000004: no scratch core.
  ResultCode renderSections(const std::vector<std::uint8_t>& sections, const SourcePreparer& prepareSource,
                            std::uint8_t* ratioFlag, const std::atomic<std::uint8_t>* stop = nullptr,
                            unsigned threads = 0);
  // The section as one stretch region of SecInfo.barNum bars.
  ResultCode renderWholeSection(std::uint8_t slot, std::uint64_t* length, std::uint8_t* ratioFlag);
  // The section stretched bar by bar, padded with silence to whole bars
  // (an intro's pickup or short first bar, an ending's short last bar).
  ResultCode renderSectionByBars(std::uint8_t slot, std::uint64_t* length, std::uint8_t* ratioFlag);
  // Appends the section's bar lines as absolute frames: start, the further
  // bar lines, end (pulled to waveEnd - 1 when it lies at the audio's end).
  ResultCode makeBarCuts(const SecInfo& sec, std::vector<std::uint64_t>& cuts, std::uint64_t waveEnd);
  // The silence that completes a partial first bar of an intro (padAtStart;
  // with a pickup in use, in any slot, the pickup becomes a bar of its own,
  // `firstBarLength` frames long, and `pickup` is set) or asks for the last
  // bar of an ending to be completed (padAtEnd). `cuts` is the list of
  // makeBarCuts.
  ResultCode pickupPadding(std::uint8_t numerator, std::uint8_t slot, const SecInfo& sec, std::uint64_t& pad,
                           std::uint8_t& pickup, std::uint64_t nominalBarLength, std::uint64_t& firstBarLength,
                           std::uint8_t& padAtStart, std::uint8_t& padAtEnd,
                           const std::vector<std::uint64_t>& cuts);
  // Appends `pad` silent frames to `samples` (called before the section's
  // frames are read) and rebases the cut list on the buffer's start; with
  // `pickup` the list gains the pickup bar of `firstBarLength` frames.
  ResultCode padStart(std::vector<std::uint8_t>& samples, std::uint64_t pad, std::uint8_t pickup,
                      std::uint64_t firstBarLength, std::vector<std::uint64_t>& cuts);
  // Makes the last bar as long as the bar before it (one bar: as long as
  // `nominalBarLength`): silence is appended and the last cut moved. A
  // one-bar section longer than nominal has its last cut moved back instead.
  ResultCode padEnd(std::uint16_t bars, std::uint64_t nominalBarLength, std::vector<std::uint64_t>& cuts,
                    std::vector<std::uint8_t>& samples);
  // Appends the frames of the slot's playing range (pickup included) of
  // "AST_temp.wav", up to `endLimit` (exclusive) when that comes first, as
  // 16-bit stereo bytes. Fails when the file cannot deliver the whole range.
  ResultCode readSectionSamples(std::uint8_t slot, std::vector<std::uint8_t>& bytes,
                                std::uint64_t endLimit = UINT64_MAX);
  // Stretches `samples` as one region of `bars` bars to the project tempo
  // and keeps the ratios in stretchRatios[slot]. A ratio out of range sets
  // *ratioFlag, appends "Stretch ratio error! [...]" to lastError and
  // returns 0.
  ResultCode checkStretchRatio(std::uint8_t numerator, std::uint8_t denominator, std::uint8_t slot,
                               std::uint64_t bars, const std::vector<std::uint8_t>& samples,
                               std::vector<std::uint8_t>& stretched, std::uint8_t* ratioFlag);
  // The same with one region per pair of neighbouring cuts (the samples
  // start at cuts[0]).
  ResultCode checkStretchRatioByBars(std::uint8_t numerator, std::uint8_t denominator, std::uint8_t slot,
                                     std::uint64_t bars, const std::vector<std::uint64_t>& cuts,
                                     const std::vector<std::uint8_t>& samples,
                                     std::vector<std::uint8_t>& stretched, std::uint8_t* ratioFlag);
  // mode bit 0: the first n frames rise as (i/n)^2; bit 1: the last n fall
  // the same way. Buffers of fewer than n frames are left alone.
  static void fadeEdges(std::vector<std::uint8_t>& bytes, std::uint64_t n, std::uint8_t mode);
  // Hands the slot's working wave and the default analysis text to the style
  // manager. The common record is not changed.
  ResultCode assignSectionAudio(std::uint8_t slot);
  // Raises the working waves of all used slots towards full scale by
  // normDepth percent per section and the rest by the overall peak; a wave is
  // never attenuated. Rewritten slots lose their rendered flag.
  ResultCode normalizeSectionWaves();
  ResultCode getSecWave(std::uint8_t slot, SecInfo** sec, WavInfo** wave);
  ResultCode getSecWaveOnly(std::uint8_t slot, WavInfo** wave);
  ResultCode isWaveUsed(std::uint8_t wavNo, std::uint8_t* used);
  ResultCode isSectionUsed(std::uint8_t slot, std::uint8_t* used);
  ResultCode getWavTempo(std::uint8_t wavNo, std::uint64_t* tempo);
  // ceil(last onset time * 44100): the end of the wave's audio in frames.
  ResultCode audioEndFrame(std::uint8_t wavNo, std::uint64_t* frame);
  // Walks back from grid entry 2 * beats (+ halfBeat * division) by one
  // division at a time to the entry nearest `address`: `back` counts the
  // divisions, `diff` the signed distance (two's complement).
  ResultCode snapAddressToBeat(std::uint8_t wavNo, std::uint8_t halfBeat, std::int32_t beats,
                               std::uint64_t address, std::uint8_t* back, std::uint64_t* diff);
  // UTF-8 bytes of a wide string; empty when it cannot be converted.
  static std::string wideToUtf8(const std::wstring& text);

 private:
  ResultCode writeSectionWave(std::uint8_t slot, const std::vector<std::uint8_t>& bytes);
  ResultCode stretchAndCheck(std::uint8_t numerator, std::uint8_t denominator, std::uint8_t slot,
                             std::uint64_t bars, const std::vector<std::uint64_t>* cuts,
                             const std::vector<std::uint8_t>& samples, std::vector<std::uint8_t>& stretched,
                             std::uint8_t* ratioFlag);

 public:
  // --- Style export ---
  // Writes the style file from every used section's working wave; each used
  // section must have been rendered. The masks (bit N = slot N, zeroed by
  // the caller) report sections whose attack, beat or sync points exceeded
  // their limits.
  ResultCode exportStyle(const std::wstring& path, std::uint64_t* written, std::uint16_t* attackMask,
                         std::uint16_t* beatMask, std::uint16_t* syncMask);
  // Hands every used section's working wave to a freshly reset style model.
  ResultCode assignAllSectionAudio();

  // --- Errors ---
  void clearLastError();
  bool hasException() const;

  // --- Undo access ---
  void undo();
  void redo();
  void clearUndo();
  bool canUndo() const;
  bool canRedo() const;
  void setUndoLimit(int limit);
  int undoCount() const;
  QString undoText() const;

  // --- Render state ---
  std::uint8_t isSecRendered(std::uint8_t slot) const;
  void resetRenderState();
  void clearStretchRatios();

  // --- Style writer parameters ---
  void setStyleParam1(std::uint64_t value);
  void setStyleParam2(std::uint64_t value);
  void setStyleParam3(std::uint64_t value);

  // --- Paths: 0 temporary folder, 1 template style, 2/3 metronome sounds ---
  // Slot 0 is the process's work folder unless set otherwise; 0x80000002
  // (and an empty path) when no private work folder can be made.
  ResultCode getPath(std::uint8_t slot, QString& out) const;
  // base: 0..17 a QStandardPaths location, 253 the application folder,
  // 254 the current folder, 255 none (name is the whole path).
  ResultCode setPath(std::uint8_t slot, std::uint8_t base, const QString& name);
  // The folder of the working waves, asked for at each use (path slot 0):
  // empty when none can be made, with the reason in `whyNot`.
  QString workFolder(QString* whyNot = nullptr) const;

  // Reads the source to its end and records where its smoothed signal
  // changes sign (mode 0: rising zero crossings; other modes: every change,
  // close changes merged).
  ResultCode scanZeroCross(ISeekable<float>& source, std::vector<std::uint64_t>& out, std::uint8_t mode);

  // The segmenter as a QObject for connecting its progress signal.
  QObject* segmenterObject() const;

  // The folder that holds the running executable.
  static QString applicationDir();

  // Text of the last error meant for the user; a failing operation writes
  // it only while it is empty, so the innermost message survives.
  QString lastError;

 private:
  friend class CASTcoreTestAccess;

  void createManagers();
  // Builds the scratch core of a compound edit holding a copy of this model.
  ResultCode copyInto(CASTcore& scratch) const;
  std::array<std::uint8_t*, kSectionCount> renderedFlagPointers();
  ResultCode pushCommon(const ComnInfo& comn, const QString& text, ResultCode exceptionCode);
  void clearRenderedFlags();
  ResultCode storeSegLbl(std::uint8_t wavNo, const std::vector<SegLabel>& list, std::uint32_t flags);
  ResultCode barBeatNear(std::uint8_t slot, std::uint32_t beat, bool atOrAfter, std::uint64_t& out) const;
  ResultCode sectionAnchorBeat(std::uint8_t slot, std::uint32_t& anchor, std::uint8_t& num,
                               const SecInfo** section) const;
  ResultCode thinGrid(WavInfo& wave, std::uint16_t factor, std::uint8_t& tooFar) const;
  ResultCode subdivideGrid(WavInfo& wave, std::uint16_t newDiv, int parts, std::uint8_t& tooFar) const;
  ResultCode tempoFromSlot(std::uint8_t slot);
  void setLastErrorOnce(const QString& text);

  // What rendering a slot's working wave gave, before it is recorded.
  struct SectionRendering {
    ResultCode code = 0;       // of the checks, or else of the rendering path
    bool checked = false;      // the checks passed and the rendering path ran
    std::uint64_t length = 0;  // frames written
    std::uint8_t outOfRange = 0;
  };
  // The checks and the rendering path of renderAudition: writes the working
  // wave and leaves the model, the flags and the undo stack alone.
  SectionRendering renderSectionWave(std::uint8_t slot);
  // The rest of renderAudition: the rendered length, flag and messages.
  ResultCode recordRendering(std::uint8_t slot, const SectionRendering& rendering, std::uint8_t* ratioFlag);

  std::unique_ptr<IF_styMngr> styMngr;
  std::unique_ptr<IF_timeStretch> timeStretch;
  std::unique_ptr<IF_segmenter> segmenter;
  std::unique_ptr<IF_onsetAnalyzer> onsetAnalyzer;
  std::unique_ptr<IF_prjMngr> prjMngr;
  std::unique_ptr<ASTundo> undoStack;
  AllInfo allInfo;
  std::array<std::uint8_t, kSectionCount> secRendered{};
  std::uint64_t fadeLen = 20;
  std::uint64_t fadeLen2 = 20;
  std::array<std::vector<double>, kSectionCount> stretchRatios;
  std::uint8_t anchorAtEnd = 0;
  double beatRatio = 0.3;
  // Empty for the process's own work folder, which is checked at each use.
  QString tempPath;
  QString templatePath;
  QString metro1Path;
  QString metro2Path;
  std::uint64_t sizeLimit = 5000000;
  std::array<std::uint64_t, 3> styParam{{1024, 256, 256}};
  // Set by any thread that catches an exception inside the core.
  std::atomic<std::uint8_t> exceptFlag{0};
};
