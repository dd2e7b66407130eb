#pragma once
// One transparent layer of a waveform display. The layers of a stack lie
// over one frame, show the same recording and share its sample count, zoom
// and scroll offset, hence one set of conversions between pixel columns and
// sample positions. The owner writes the public members and repaints; a
// layer never changes the owner's data.

#include <QColor>
#include <QWidget>

#include <cstdint>

class QPainter;

class wavPainter : public QWidget {
 public:
  wavPainter(std::int64_t sampleCount, int zoom, QWidget* parent, Qt::WindowFlags flags, double scrollOffset);

  bool mSkipPaint = false;
  bool mForegroundOn = true;
  bool mBackgroundOn = true;
  // The next paint runs prepare() first.
  bool mNeedsPrepare = true;
  std::int64_t mSampleCount = 0;
  // The whole recording spans mZoom layer widths.
  int mZoom = 1;
  // The left edge, in layer widths from the start of the recording.
  double mScrollOffset = 0.0;
  // Qt::transparent switches off the part drawn with the colour.
  QColor mForegroundColor;
  QColor mBackgroundColor;
  QColor mCentreLineColor;

  // The sample under pixel column x (with clamp: within the recording).
  int xToSample(int x, bool clamp) const;
  // The pixel column of a sample (with clamp: within the layer).
  int sampleToX(int sample, bool clamp) const;
  // The row of an amplitude in [-1, 1]: +1 is the top row.
  int amplitudeToY(double amplitude, bool clamp) const;
  float yToAmplitude(int y, bool clamp) const;
  int sampleCount() const { return static_cast<int>(mSampleCount); }

  // Fills the layer with the background colour and draws the centre line.
  virtual void drawBackground(QPainter* painter);
  // Draws the layer's content over the background; the base draws nothing.
  virtual void drawForeground(QPainter* painter);
  // Recomputes what the foreground needs after a change of view; runs at
  // the paint that finds mNeedsPrepare set. The base does nothing.
  virtual void prepare();

 protected:
  // The frames pixel column i of a waveform covers: from one column left of
  // it to one column right, within the recording; n may be 0.
  void columnFrames(int i, std::int64_t& first, std::int64_t& count) const;

  // The owner's frame sees mouse moves in its own coordinates.
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

  // The pen every layer draws with: solid, width 1, round cap, bevel join.
  static QPen layerPen(const QColor& colour);
  // Sets the pen and a solid brush of `colour`.
  static void setPenAndBrush(QPainter* painter, const QColor& colour);
};
