#pragma once
// The form of the time-stretch result viewer, written by hand.

#include <QAction>
#include <QDialog>
#include <QFrame>
#include <QScrollBar>
#include <QSlider>

#include "DvFrame.h"
#include "DvWidgets.h"

class Ui_TimeStretchWindow {
 public:
  QAction* mActionSelectAll = nullptr;
  QAction* mActionUndo = nullptr;
  QAction* mActionRedo = nullptr;
  QFrame* mTopFrame = nullptr;
  QFrame* horizontalFrame = nullptr;
  DvPushButton* mPushButtonPlay = nullptr;
  QSlider* mSliderMetro = nullptr;
  QWidget* dummyWidget = nullptr;
  QFrame* horizontalFrame_2 = nullptr;
  DvCheckBox* mChkClick = nullptr;
  QFrame* mMiddleVerticalLayoutMiddle = nullptr;
  QFrame* mFrameWavBase = nullptr;
  DvFrame* mFrameWav = nullptr;
  QFrame* mScrollFrame = nullptr;
  QScrollBar* mScrollBar = nullptr;
  QFrame* mZoomFrame = nullptr;
  DvPushButton* mBtnHorZoomIn = nullptr;
  DvPushButton* mBtnHorZoomOut = nullptr;
  QFrame* mBottomFrame = nullptr;

  void setupUi(QDialog* dialog);
  void retranslateUi(QDialog* dialog);
};

namespace Ui {
class TimeStretchWindow : public Ui_TimeStretchWindow {};
}  // namespace Ui
