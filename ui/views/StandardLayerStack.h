#pragma once
// The seven layers every waveform display stacks over its frame, in this
// order (later ones above): left and right waveform, beat lines, section
// ranges, caption, selection, play line. The main window and the
// time-stretch viewer build the same stack.

#include <QString>

#include <cstdint>
#include <vector>

#include "ISeekable.h"
#include "TextItem.h"
#include "wavPainter.h"

namespace StandardLayerStack {

enum Index { kLeft = 0, kRight, kBeats, kSections, kCaption, kSelection, kLocation, kCount };

// Makes the layers as children of `frame`, coloured, the play line hidden.
// The vectors stay the owner's and must outlive the layers.
std::vector<wavPainter*> create(QWidget* frame, ISeekable<float>* seeker, std::int64_t sampleCount, int zoom,
                                double scrollOffset, std::vector<std::int64_t>* beats, std::vector<TextItem>* items,
                                const QString& caption);

// Gives the layers the stack's colours; only a whole stack is coloured.
void setColours(const std::vector<wavPainter*>& layers);

// Sets the same view on every layer; the waveforms read again at the next
// paint when it changed.
void setView(const std::vector<wavPainter*>& layers, std::int64_t sampleCount, int zoom, double scrollOffset);

}  // namespace StandardLayerStack
