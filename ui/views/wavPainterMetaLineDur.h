#pragma once
// Labelled ranges (the sections) as grey triangles pointing right, the
// selected one in pink, with black marks where a range runs past the view.

#include <QColor>

#include <vector>

#include "TextItem.h"
#include "wavPainter.h"

class wavPainterMetaLineDur : public wavPainter {
 public:
  wavPainterMetaLineDur(std::vector<TextItem>* items, std::int64_t sampleCount, int zoom, QWidget* parent,
                        Qt::WindowFlags flags, double scrollOffset);

  std::vector<TextItem>* mItems;  // the owner's
  bool mSelectionOn = false;
  int mSelStart = 0;
  int mSelEnd = 0;
  int mSelIndex = -1;
  QColor mLabelColor = Qt::darkGray;

  // Sets mSelIndex to the item spanning exactly mSelStart to mSelEnd, or -1.
  void findSelected();
  // The value of that item, or -1.
  int selectedValue();

  void drawForeground(QPainter* painter) override;
};
