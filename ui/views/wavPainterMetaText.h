#pragma once
// Labelled positions: a vertical line at each with its text beside it at
// the bottom edge.

#include <QByteArray>

#include <cstdint>
#include <vector>

#include "wavPainter.h"

struct MetaTextItem {
  std::int64_t position = 0;
  QByteArray text;  // UTF-8
};

class wavPainterMetaText : public wavPainter {
 public:
  wavPainterMetaText(std::vector<MetaTextItem>* items, std::int64_t sampleCount, int zoom, QWidget* parent,
                     Qt::WindowFlags flags, double scrollOffset);

  std::vector<MetaTextItem>* mItems;  // the owner's

  void drawForeground(QPainter* painter) override;
};
