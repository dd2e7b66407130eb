#pragma once
// The listener the segmenter hands to the song analysis for one run: relays
// the progress as a Qt signal and records the time signature of every bar
// line in the segmenter's fields. Every other notification is ignored; the
// segments are fetched from the analyzer after the run.
//
// Lives on the analysis thread for one run of segmenter::execute. The abort
// byte it inherits may be set from any thread (the segmenter does so when an
// abort is requested).

#include <QObject>

#include <cstdint>

#include "IProgress.h"

class SegmenterWriter : public QObject, public MzMir::IProgress {
  Q_OBJECT

 public:
  // `numerator` and `denominator` receive the time signature of each bar
  // line; they must outlive the writer.
  SegmenterWriter(std::int32_t* numerator, std::int32_t* denominator, QObject* parent = nullptr);

  void done() override;
  // Stores the value and emits signalProgress with its low 8 bits.
  void progress(int percent) override;
  void onChord(const kelo::t_chord* chord) override;
  // Writes the bar line's numerator and denominator (2, 4 or 8) through.
  void onBarline(const kelo::t_barline* barline) override;
  void onTatum(const kelo::t_tatum* tatum) override;
  void onBeat(const kelo::t_beat* beat) override;
  void onKeysig(const kelo::t_keysig* keysig) override;
  void onSegment(const SongSegment* segment) override;

  // The last progress value told, 0 before the first.
  std::int32_t lastProgress() const { return progressValue; }

 signals:
  void signalProgress(unsigned char val);

 private:
  std::uint8_t flag = 1;  // marks a live listener
  std::int32_t* numerator;
  std::int32_t* denominator;
  std::int32_t progressValue = 0;
};
