#pragma once
// The main window's form, written by hand: every action, widget and layout
// of the window with its fixed properties and texts. setupUi builds it once;
// retranslateUi sets the texts and shortcuts.

#include <QAction>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSlider>
#include <QSpacerItem>
#include <QStatusBar>
#include <QVBoxLayout>

#include "DvFrame.h"
#include "DvWidgets.h"

class Ui_MainWindow {
 public:
  QAction* actionNewAudioStyleProject;
  QAction* actionNewAudioStyleProject_with_Import;
  QAction* actionOpenAudioStyleProject;
  QAction* actionSaveAudioStyleProject;
  QAction* actionSaveAudioStyleProject_as;
  QAction* actionExport_as_AudioStyleFile;
  QAction* actionQuit;
  QAction* actionUndo;
  QAction* actionRedo;
  QAction* actionAudioDeviceSetting;
  QAction* actionAbout;
  QAction* actionSelectAll;
  QAction* actionSelectClear;

  QWidget* centralWidget;
  QVBoxLayout* verticalLayout_2;
  QVBoxLayout* mVerticalLayout;

  QFrame* mTopFrame;
  QGridLayout* gridLayout_2;
  QFrame* mFrameProjectFile;
  QHBoxLayout* horizontalLayout_3;
  QLineEdit* mLEditProjectFileName;
  QFrame* mBeatFrameTempo;
  QHBoxLayout* horizontalLayout_2;
  DvLineEdit* mLEditBeat;
  QLabel* mLabelTempo;
  DvSpinBox* mSpinTempo;
  QFrame* horizontalFrame;
  QHBoxLayout* mProjectParameterFrame;
  DvPushButton* mPushButtonPlay;
  QSlider* mSliderMetro;
  DvCheckBox* mChkTimeStretch;
  QFrame* horizontalFrame_2;
  QHBoxLayout* mBeatFrameClick;
  DvCheckBox* mChkClick;
  DvPushButton* mBtnBeatAnaHalf;
  DvPushButton* mBtnBeatAnaDouble;

  QFrame* mMiddleVerticalLayoutMiddle;
  QVBoxLayout* mVerticalLayoutMiddle;
  QFrame* mFrameSectionTop;
  QHBoxLayout* horizontalLayout;
  QFrame* mSectionFrame;
  QVBoxLayout* verticalLayout_3;
  QLabel* mSectionLabel;
  DvComboBox* mCmbTrimSec;
  QFrame* mManualFrame;
  QVBoxLayout* verticalLayout_5;
  DvCheckBox* mChkManual;
  QFrame* mBarFrame;
  QVBoxLayout* verticalLayout_4;
  QLabel* mBarLabel;
  DvSpinBox* mSpinBars;
  QFrame* mWaveFileFrame;
  QGridLayout* gridLayout_3;
  QLabel* mWaveLabel;
  DvComboBox* mCmbWav;
  DvPushButton* mBtnImport;
  DvPushButton* mBtnUnlink;
  QFrame* mFrameWavBase;
  QVBoxLayout* verticalLayout;
  DvFrame* mFrameWav;
  QFrame* frame_3;
  QFrame* mScrollFrame;
  QHBoxLayout* horizontalLayout_7;
  QScrollBar* mScrollBar;
  QFrame* mZoomFrame;
  QHBoxLayout* horizontalLayout_9;
  DvPushButton* mBtnHorZoomIn;
  DvPushButton* mBtnHorZoomOut;

  QFrame* mBottomVerticalFrame;
  QHBoxLayout* mBottomHorizontalLayout;
  QFrame* mFrameCheckBox;
  QGridLayout* gridLayout;
  QLabel* mStartTimeLabel;
  QLabel* mEndTimeLabel;
  DvLineEdit* mLEditTrimStart;
  DvLineEdit* mLEditTrimEnd;
  DvCheckBox* mChkFade;
  QFrame* mFramePushButton;
  QGridLayout* gridLayout_5;
  DvPushButton* mBtnShiftBeatPosition;
  QFrame* mPickupFrame;
  QGridLayout* gridLayout_4;
  QLabel* mPickupLabel;
  DvCheckBox* mChkBlank;
  DvSpinBox* mSpinPickup;
  QLabel* mBeatLabel;

  QStatusBar* statusBar;
  QMenuBar* menuBar;
  QMenu* menuFile;
  QMenu* menuEdit;
  QMenu* menuSetting;
  QMenu* menuHelp;

  void setupUi(QMainWindow* window);
  void retranslateUi(QMainWindow* window);

 private:
  void setupActions(QMainWindow* window);
  void setupTopFrame();
  void setupMiddleFrame();
  void setupBottomFrame();
  void setupMenus(QMainWindow* window);
};

namespace Ui {
class MainWindow : public Ui_MainWindow {};
}  // namespace Ui
