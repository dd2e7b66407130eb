#pragma once
// A frame that hands its mouse moves to another widget (the window that
// handles the waveform interaction), in that widget's coordinates.

#include <QFrame>

class DvFrame : public QFrame {
  Q_OBJECT
 public:
  explicit DvFrame(QWidget* parent = nullptr) : QFrame(parent, Qt::WindowFlags()) {}

  // The widget that receives the frame's mouse moves; with none they are
  // dropped. Set by the owner after the form is built.
  QWidget* mMouseTarget = nullptr;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
};
