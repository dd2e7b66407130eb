#pragma once
// The viewer of a section rendered time-stretched: shows the rendered file
// with the standard layer stack and its beat grid, plays the whole file or
// a selected range looped with clicks on the beats, zooms and scrolls, and
// selects ranges with the mouse or the keys, snapped to the beats. It
// changes nothing in the project; the click switch and the level are the
// main window's, shared by pointer with the audio callback.

#include <QDialog>
#include <QEvent>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TextItem.h"
#include "Ui_TimeStretchWindow.h"

class ASTAudition;
class WaveFileSeekable;
class wavPainter;

class TimeStretchWindow : public QDialog, public Ui::TimeStretchWindow {
  Q_OBJECT

 public:
  // `beats` (the grid over the rendered file) and the three bytes are the
  // owner's and must outlive the viewer.
  TimeStretchWindow(const std::wstring& path, int section, int wave, std::int64_t sampleCount,
                    std::uint8_t beatsPerBar, const std::vector<std::uint64_t>* beats, int zoom,
                    ASTAudition* audition, bool manual, std::uint8_t* sourceLevel, std::uint8_t* clickOn,
                    std::uint8_t* click2On, QObject* owner, QWidget* parent, double scrollOffset = 0.0);
  ~TimeStretchWindow() override;

  // Starts looped playback of the selection, then runs the dialog.
  int exec() override;

  bool isPlaying() const { return mPlaying != 0; }
  bool hasSelection() const { return mSelectionExists != 0; }
  int selectionStart() const { return mSelStart; }
  int selectionEnd() const { return mSelEnd; }
  int zoom() const { return mZoom; }
  double scrollOffset() const { return mScrollOffset; }
  const std::vector<wavPainter*>& layers() const { return mLayers; }

  // Applies a view: zoom, offset, the scroll bar and every layer; with
  // `keep` the selection is scrolled into view from `visibility`, the
  // selection's visibility before the change.
  void updateSelection(int zoom, bool keep, int visibility, double offset);
  // The first layer whose rectangle (shifted by the frame's position)
  // strictly holds the point; -1 for none.
  int layerAt(const QPoint& framePoint) const;
  // The sample under a frame point, snapped to the nearest beat, the start
  // or the last sample unless manual.
  int pointToSample(int layerIndex, const QPoint& framePoint) const;
  // 1 both ends in view, 4 the selection spans the view, 2 only the end in
  // view, 3 only the start, 0 otherwise.
  int selectionVisibility() const;
  // Runs after every paint; nothing to do here.
  virtual void afterPaint();
  // Whether the two waveforms and the beat lines are laid out anew at the
  // next paint.
  void setNeedsPrepare(bool prepare);
  // Brings the start of the selection into view (at the start of playback).
  void showSelectionStart();
  // Keeps the play line at pixel column x in view (0: the selection start).
  void followPlayLine(int x);

 public slots:
  void releasedBtnPlayOnce();
  void releasedBtnPlayLoop();
  void stopped();
  void location();
  void valueChangedSliderMetro(int value);
  void clickedChkClick(bool checked);
  void valueChangedScrollBar(int value);
  void releasedBtnHorZoomIn();
  void releasedBtnHorZoomOut();
  void onSelectAll();
  void onClearAll();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void loadWave(int section, int wave, std::int64_t sampleCount, int zoom, double offset);
  void applyBeatSettings();
  void refreshControls();
  void layoutLayers();
  void play(std::uint8_t loop);
  // Keeps an offset within the recording: from 0 to zoom - 1 view widths.
  double clampOffset(int zoom, double offset) const;
  void setScrollValue(int value);
  void orderAndShowSelection();
  void updateHoverMode();
  void scrollWhileDraggingEdge(const QPoint& point, bool startEdge);
  void scrollStepWhileMoving(bool left);
  void scrollPagesWhileMoving(bool left);
  void moveSelection(const QPoint& point);
  void sendMouse(QEvent::Type type, const QPoint& globalPoint);
  wavPainter* layer(int index) const;
  QPoint framePoint(const QPoint& dialogPoint) const;
  bool insideFrame(const QPoint& framePoint) const;

  std::vector<wavPainter*> mLayers;
  int mSection = 15;
  int mWave = 255;
  std::int64_t mSampleCount = 0;
  int mZoom = 1;
  double mScrollOffset = 0.0;
  std::uint8_t mUpdating = 0;
  Qt::KeyboardModifiers mModifiers;
  std::uint8_t mPlaying = 0;
  std::uint8_t mManual = 0;
  std::uint8_t* mClickOn;
  std::uint8_t* mSourceLevel;
  std::uint8_t* mClick2On;
  std::uint8_t mSelectionExists = 0;
  QPoint mPressPoint{-1, 0};
  QPoint mAnchor{-1, 0};
  QPoint mRightPress{-1, -1};
  std::uint8_t mDirty = 1;
  QRect mPaintedFrame{0, 0, -1, -1};
  int mPaintedZoom = 1;
  double mPaintedOffset = 0.0;
  ASTAudition* mAudition;
  std::wstring mPath;
  std::unique_ptr<WaveFileSeekable> mSeeker;
  std::vector<TextItem> mTextItems;
  const std::vector<std::uint64_t>* mBeats;
  // The beats as the beat-line layer reads them.
  std::vector<std::int64_t> mBeatLines;
  std::uint8_t mBeatsPerBar;
  QRect mLocationRect{QPoint(-1, 0), QPoint(-2, -1)};
  std::uint8_t mEdgeMode = 3;
  int mSelStart = 0;
  int mSelEnd = 0;
  int mPressSelStart = -1;
  int mPressSelEnd = -1;
  int mLastDirection = 2;
  std::uint8_t mKeyDrag = 0;
  QObject* mOwner;
};
