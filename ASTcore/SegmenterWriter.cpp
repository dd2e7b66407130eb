#include "SegmenterWriter.h"

SegmenterWriter::SegmenterWriter(std::int32_t* numerator, std::int32_t* denominator, QObject* parent)
    : QObject(parent), numerator(numerator), denominator(denominator) {}

void SegmenterWriter::done() {}

void SegmenterWriter::progress(int percent) {
  progressValue = percent;
  emit signalProgress(static_cast<unsigned char>(percent & 0xFF));
}

void SegmenterWriter::onChord(const kelo::t_chord*) {}

void SegmenterWriter::onBarline(const kelo::t_barline* barline) {
  if (!barline) return;
  if (numerator) *numerator = barline->numerator;
  if (denominator) *denominator = barline->denominator;
}

void SegmenterWriter::onTatum(const kelo::t_tatum*) {}

void SegmenterWriter::onBeat(const kelo::t_beat*) {}

void SegmenterWriter::onKeysig(const kelo::t_keysig*) {}

void SegmenterWriter::onSegment(const SongSegment*) {}
