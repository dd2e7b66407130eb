#include "Ui_MainWindow.h"

#include <QCoreApplication>
#include <QIcon>
#include <QKeySequence>
#include <QPixmap>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("MainWindow", text); }

void setPointFont(QWidget* w, int points) {
  QFont f = w->font();
  f.setPointSize(points);
  w->setFont(f);
}

void fixHeight(QWidget* w, int h) {
  w->setMinimumHeight(h);
  w->setMaximumHeight(h);
}

void fixWidth(QWidget* w, int width) {
  w->setMinimumWidth(width);
  w->setMaximumWidth(width);
}

void fixSize(QWidget* w, int width, int h) {
  w->setMinimumSize(width, h);
  w->setMaximumSize(width, h);
}

QFrame* frame(QWidget* parent, const char* name, QFrame::Shape shape) {
  auto* f = new QFrame(parent);
  f->setObjectName(name);
  f->setFrameShape(shape);
  return f;
}

template <typename Layout>
Layout* layoutOn(QWidget* owner, const char* name, int spacing, int l, int t, int r, int b) {
  auto* layout = new Layout(owner);
  layout->setObjectName(name);
  layout->setSpacing(spacing);
  layout->setContentsMargins(l, t, r, b);
  return layout;
}

QSpacerItem* fixedSpacer(int w, int h) { return new QSpacerItem(w, h, QSizePolicy::Fixed, QSizePolicy::Minimum); }

template <typename W>
W* noFocus(W* w) {
  w->setFocusPolicy(Qt::NoFocus);
  return w;
}

template <typename W>
W* named(W* w, const char* name) {
  w->setObjectName(name);
  return w;
}

QAction* action(QMainWindow* window, const char* name) { return named(new QAction(window), name); }

}  // namespace

void Ui_MainWindow::setupUi(QMainWindow* window) {
  window->setObjectName("MainWindow");
  window->resize(666, 571);
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(9);
  window->setFont(font);
  window->setMouseTracking(false);

  setupActions(window);

  centralWidget = named(new QWidget(window), "centralWidget");
  verticalLayout_2 = layoutOn<QVBoxLayout>(centralWidget, "verticalLayout_2", 4, 9, 9, 9, 9);
  mVerticalLayout = new QVBoxLayout();
  mVerticalLayout->setObjectName("mVerticalLayout");
  mVerticalLayout->setSpacing(4);
  verticalLayout_2->addLayout(mVerticalLayout);

  setupTopFrame();
  setupMiddleFrame();
  setupBottomFrame();

  window->setCentralWidget(centralWidget);
  statusBar = named(new QStatusBar(window), "statusBar");
  QFont statusFont = statusBar->font();
  statusFont.setFamily(QStringLiteral("Arial"));
  statusBar->setFont(statusFont);
  window->setStatusBar(statusBar);
  setupMenus(window);

  QWidget::setTabOrder(mLEditTrimStart, mLEditTrimEnd);
  retranslateUi(window);
  mCmbTrimSec->setCurrentIndex(0);
  QMetaObject::connectSlotsByName(window);
}

void Ui_MainWindow::setupActions(QMainWindow* window) {
  actionNewAudioStyleProject = action(window, "actionNewAudioStyleProject");
  actionNewAudioStyleProject_with_Import = action(window, "actionNewAudioStyleProject_with_Import");
  actionOpenAudioStyleProject = action(window, "actionOpenAudioStyleProject");
  actionSaveAudioStyleProject = action(window, "actionSaveAudioStyleProject");
  actionSaveAudioStyleProject_as = action(window, "actionSaveAudioStyleProject_as");
  actionExport_as_AudioStyleFile = action(window, "actionExport_as_AudioStyleFile");
  actionQuit = action(window, "actionQuit");
  actionUndo = action(window, "actionUndo");
  actionRedo = action(window, "actionRedo");
  actionAudioDeviceSetting = action(window, "actionAudioDeviceSetting");
  actionAbout = action(window, "actionAbout");
  actionSelectAll = action(window, "actionSelectAll");
  actionSelectClear = action(window, "actionSelectClear");
}

void Ui_MainWindow::setupTopFrame() {
  mTopFrame = frame(centralWidget, "mTopFrame", QFrame::StyledPanel);
  mTopFrame->setFrameShadow(QFrame::Plain);
  QSizePolicy policy = mTopFrame->sizePolicy();
  policy.setVerticalPolicy(QSizePolicy::Maximum);
  mTopFrame->setSizePolicy(policy);
  mTopFrame->setMinimumHeight(96);
  mTopFrame->setMaximumHeight(93);
  gridLayout_2 = layoutOn<QGridLayout>(mTopFrame, "gridLayout_2", 4, 4, 4, 4, 4);

  mFrameProjectFile = frame(mTopFrame, "mFrameProjectFile", QFrame::NoFrame);
  fixHeight(mFrameProjectFile, 40);
  setPointFont(mFrameProjectFile, 20);
  horizontalLayout_3 = layoutOn<QHBoxLayout>(mFrameProjectFile, "horizontalLayout_3", 4, 4, 2, 4, 2);
  mLEditProjectFileName = noFocus(named(new QLineEdit(mFrameProjectFile), "mLEditProjectFileName"));
  mLEditProjectFileName->setReadOnly(true);
  mLEditProjectFileName->setMinimumWidth(180);
  mLEditProjectFileName->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  horizontalLayout_3->addWidget(mLEditProjectFileName);
  horizontalLayout_3->addItem(fixedSpacer(16, 20));
  gridLayout_2->addWidget(mFrameProjectFile, 0, 0);

  mBeatFrameTempo = frame(mTopFrame, "mBeatFrameTempo", QFrame::NoFrame);
  fixHeight(mBeatFrameTempo, 40);
  setPointFont(mBeatFrameTempo, 20);
  horizontalLayout_2 = layoutOn<QHBoxLayout>(mBeatFrameTempo, "horizontalLayout_2", 4, 4, 2, 4, 2);
  mLEditBeat = named(new DvLineEdit(mBeatFrameTempo), "mLEditBeat");
  fixWidth(mLEditBeat, 65);
  mLEditBeat->setAlignment(Qt::AlignCenter);
  mLEditBeat->setFocusPolicy(Qt::ClickFocus);
  mLabelTempo = named(new QLabel(mBeatFrameTempo), "mLabelTempo");
  fixWidth(mLabelTempo, 24);
  mLabelTempo->setPixmap(QPixmap(QStringLiteral(":/img/tempo.png")));
  mLabelTempo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  mLabelTempo->setTextInteractionFlags(Qt::NoTextInteraction);
  mSpinTempo = named(new DvSpinBox(mBeatFrameTempo), "mSpinTempo");
  mSpinTempo->setMinimumSize(85, 35);
  mSpinTempo->setMaximumHeight(35);
  mSpinTempo->setAlignment(Qt::AlignCenter);
  mSpinTempo->setFocusPolicy(Qt::ClickFocus);
  mSpinTempo->setRange(5, 500);
  mSpinTempo->setValue(120);
  // A typed tempo is one edit, taken when the typing ends (Return or leaving
  // the box): every keystroke of "130" would otherwise be an undo step of
  // its own (1, 13, 130), each dropping every rendered section. The arrows
  // and the wheel still apply at once.
  mSpinTempo->setKeyboardTracking(false);
  horizontalLayout_2->addWidget(mLEditBeat);
  horizontalLayout_2->addWidget(mLabelTempo);
  horizontalLayout_2->addWidget(mSpinTempo);
  horizontalLayout_2->addItem(fixedSpacer(16, 20));
  gridLayout_2->addWidget(mBeatFrameTempo, 0, 1);

  horizontalFrame = frame(mTopFrame, "horizontalFrame", QFrame::NoFrame);
  fixHeight(horizontalFrame, 40);
  setPointFont(horizontalFrame, 14);
  mProjectParameterFrame = layoutOn<QHBoxLayout>(horizontalFrame, "mProjectParameterFrame", 4, 5, 2, 4, 2);
  mPushButtonPlay = noFocus(named(new DvPushButton(horizontalFrame), "mPushButtonPlay"));
  fixSize(mPushButtonPlay, 105, 30);
  mPushButtonPlay->setIcon(QIcon(QStringLiteral(":/img/btn_play.png")));
  mPushButtonPlay->setFlat(false);
  mSliderMetro = noFocus(named(new QSlider(Qt::Horizontal, horizontalFrame), "mSliderMetro"));
  mSliderMetro->setRange(0, 100);
  mSliderMetro->setValue(100);
  fixHeight(mSliderMetro, 28);
  mChkTimeStretch = noFocus(named(new DvCheckBox(horizontalFrame), "mChkTimeStretch"));
  fixWidth(mChkTimeStretch, 140);
  mChkTimeStretch->setChecked(true);
  mProjectParameterFrame->addWidget(mPushButtonPlay);
  mProjectParameterFrame->addWidget(mSliderMetro);
  mProjectParameterFrame->addItem(fixedSpacer(16, 20));
  mProjectParameterFrame->addWidget(mChkTimeStretch);
  mProjectParameterFrame->addItem(fixedSpacer(16, 20));
  gridLayout_2->addWidget(horizontalFrame, 1, 0);

  horizontalFrame_2 = frame(mTopFrame, "horizontalFrame_2", QFrame::NoFrame);
  fixHeight(horizontalFrame_2, 40);
  setPointFont(horizontalFrame_2, 14);
  mBeatFrameClick = layoutOn<QHBoxLayout>(horizontalFrame_2, "mBeatFrameClick", 4, 4, 2, 4, 2);
  mChkClick = noFocus(named(new DvCheckBox(horizontalFrame_2), "mChkClick"));
  fixWidth(mChkClick, 71);
  mChkClick->setChecked(true);
  mBtnBeatAnaHalf = noFocus(named(new DvPushButton(horizontalFrame_2), "mBtnBeatAnaHalf"));
  fixSize(mBtnBeatAnaHalf, 45, 30);
  mBtnBeatAnaDouble = noFocus(named(new DvPushButton(horizontalFrame_2), "mBtnBeatAnaDouble"));
  fixSize(mBtnBeatAnaDouble, 45, 30);
  mBeatFrameClick->addWidget(mChkClick);
  mBeatFrameClick->addWidget(mBtnBeatAnaHalf);
  mBeatFrameClick->addWidget(mBtnBeatAnaDouble);
  mBeatFrameClick->addItem(fixedSpacer(16, 20));
  gridLayout_2->addWidget(horizontalFrame_2, 1, 1);

  mVerticalLayout->addWidget(mTopFrame);
}

void Ui_MainWindow::setupMiddleFrame() {
  mMiddleVerticalLayoutMiddle = frame(centralWidget, "mMiddleVerticalLayoutMiddle", QFrame::StyledPanel);
  setPointFont(mMiddleVerticalLayoutMiddle, 14);
  mVerticalLayoutMiddle =
      layoutOn<QVBoxLayout>(mMiddleVerticalLayoutMiddle, "mVerticalLayoutMiddle", 1, 6, 1, 6, 1);

  mFrameSectionTop = frame(mMiddleVerticalLayoutMiddle, "mFrameSectionTop", QFrame::NoFrame);
  fixHeight(mFrameSectionTop, 65);
  horizontalLayout = layoutOn<QHBoxLayout>(mFrameSectionTop, "horizontalLayout", 2, 2, 1, 2, 1);

  mSectionFrame = frame(mFrameSectionTop, "mSectionFrame", QFrame::NoFrame);
  fixSize(mSectionFrame, 108, 52);
  verticalLayout_3 = layoutOn<QVBoxLayout>(mSectionFrame, "verticalLayout_3", 2, 2, 1, 0, 1);
  mSectionLabel = named(new QLabel(mSectionFrame), "mSectionLabel");
  fixHeight(mSectionLabel, 18);
  setPointFont(mSectionLabel, 12);
  mSectionLabel->setIndent(2);
  mCmbTrimSec = noFocus(named(new DvComboBox(mSectionFrame), "mCmbTrimSec"));
  fixWidth(mCmbTrimSec, 105);
  mCmbTrimSec->setMaxVisibleItems(18);
  mCmbTrimSec->setFrame(true);
  verticalLayout_3->addWidget(mSectionLabel);
  verticalLayout_3->addWidget(mCmbTrimSec);
  horizontalLayout->addWidget(mSectionFrame, 0, Qt::AlignVCenter);

  mManualFrame = frame(mFrameSectionTop, "mManualFrame", QFrame::NoFrame);
  fixSize(mManualFrame, 92, 52);
  verticalLayout_5 = layoutOn<QVBoxLayout>(mManualFrame, "verticalLayout_5", 2, 2, 1, 2, 1);
  verticalLayout_5->addItem(new QSpacerItem(20, 18, QSizePolicy::Minimum, QSizePolicy::Minimum));
  mChkManual = noFocus(named(new DvCheckBox(mManualFrame), "mChkManual"));
  mChkManual->setIconSize(QSize(16, 16));
  mChkManual->setChecked(false);
  verticalLayout_5->addWidget(mChkManual);
  horizontalLayout->addWidget(mManualFrame);

  mBarFrame = frame(mFrameSectionTop, "mBarFrame", QFrame::NoFrame);
  fixSize(mBarFrame, 80, 52);
  verticalLayout_4 = layoutOn<QVBoxLayout>(mBarFrame, "verticalLayout_4", 2, 2, 1, 2, 0);
  mBarLabel = named(new QLabel(mBarFrame), "mBarLabel");
  fixHeight(mBarLabel, 18);
  setPointFont(mBarLabel, 12);
  mBarLabel->setIndent(2);
  mSpinBars = named(new DvSpinBox(mBarFrame), "mSpinBars");
  fixSize(mSpinBars, 74, 30);
  mSpinBars->setAlignment(Qt::AlignCenter);
  mSpinBars->setFocusPolicy(Qt::ClickFocus);
  mSpinBars->setRange(1, 999);
  mSpinBars->setValue(1);
  mSpinBars->setKeyboardTracking(false);  // as the tempo box
  verticalLayout_4->addWidget(mBarLabel);
  verticalLayout_4->addWidget(mSpinBars);
  horizontalLayout->addWidget(mBarFrame);

  mWaveFileFrame = frame(mFrameSectionTop, "mWaveFileFrame", QFrame::NoFrame);
  fixHeight(mWaveFileFrame, 52);
  gridLayout_3 = new QGridLayout(mWaveFileFrame);
  gridLayout_3->setObjectName("gridLayout_3");
  gridLayout_3->setHorizontalSpacing(4);
  gridLayout_3->setVerticalSpacing(2);
  gridLayout_3->setContentsMargins(2, 1, 2, 1);
  mWaveLabel = named(new QLabel(mWaveFileFrame), "mWaveLabel");
  fixHeight(mWaveLabel, 18);
  setPointFont(mWaveLabel, 12);
  mWaveLabel->setIndent(2);
  gridLayout_3->addWidget(mWaveLabel, 0, 0);
  gridLayout_3->addItem(new QSpacerItem(40, 18, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, 1, 1, 2);
  mCmbWav = noFocus(named(new DvComboBox(mWaveFileFrame), "mCmbWav"));
  mCmbWav->setEditable(false);
  QFont bold = mWaveFileFrame->font();
  bold.setBold(true);
  mBtnImport = noFocus(named(new DvPushButton(mWaveFileFrame), "mBtnImport"));
  fixSize(mBtnImport, 45, 30);
  mBtnImport->setFont(bold);
  mBtnImport->setIcon(QIcon(QStringLiteral(":/img/plus.png")));
  mBtnUnlink = noFocus(named(new DvPushButton(mWaveFileFrame), "mBtnUnlink"));
  fixSize(mBtnUnlink, 45, 30);
  mBtnUnlink->setFont(bold);
  mBtnUnlink->setIcon(QIcon(QStringLiteral(":/img/minus.png")));
  gridLayout_3->addWidget(mCmbWav, 1, 0);
  gridLayout_3->addWidget(mBtnImport, 1, 1);
  gridLayout_3->addWidget(mBtnUnlink, 1, 2);
  horizontalLayout->addWidget(mWaveFileFrame);
  mVerticalLayoutMiddle->addWidget(mFrameSectionTop);

  mFrameWavBase = frame(mMiddleVerticalLayoutMiddle, "mFrameWavBase", QFrame::Panel);
  mFrameWavBase->setFrameShadow(QFrame::Sunken);
  verticalLayout = layoutOn<QVBoxLayout>(mFrameWavBase, "verticalLayout", 0, 0, 0, 0, 0);
  mFrameWav = named(new DvFrame(mFrameWavBase), "mFrameWav");
  mFrameWav->setMinimumSize(630, 228);
  mFrameWav->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
  setPointFont(mFrameWav, 9);
  mFrameWav->setCursor(Qt::ArrowCursor);
  mFrameWav->setMouseTracking(true);
  mFrameWav->setAutoFillBackground(false);
  frame_3 = frame(mFrameWavBase, "frame_3", QFrame::StyledPanel);
  frame_3->setFrameShadow(QFrame::Raised);
  verticalLayout->addWidget(mFrameWav);
  verticalLayout->addWidget(frame_3);
  mVerticalLayoutMiddle->addWidget(mFrameWavBase);

  mScrollFrame = frame(mMiddleVerticalLayoutMiddle, "mScrollFrame", QFrame::NoFrame);
  mScrollFrame->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  horizontalLayout_7 = layoutOn<QHBoxLayout>(mScrollFrame, "horizontalLayout_7", 10, 0, 0, 8, 2);
  mScrollBar = named(new QScrollBar(Qt::Horizontal, mScrollFrame), "mScrollBar");
  mScrollBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  mScrollBar->setMinimumHeight(17);
  mZoomFrame = frame(mScrollFrame, "mZoomFrame", QFrame::NoFrame);
  horizontalLayout_9 = layoutOn<QHBoxLayout>(mZoomFrame, "horizontalLayout_9", 4, 1, 1, 1, 1);
  mBtnHorZoomIn = noFocus(named(new DvPushButton(mZoomFrame), "mBtnHorZoomIn"));
  fixSize(mBtnHorZoomIn, 24, 24);
  mBtnHorZoomIn->setFlat(true);
  mBtnHorZoomIn->setIcon(QIcon(QStringLiteral(":/newPrefix/img/btn_zoom_in_off.png")));
  mBtnHorZoomOut = noFocus(named(new DvPushButton(mZoomFrame), "mBtnHorZoomOut"));
  fixSize(mBtnHorZoomOut, 24, 24);
  mBtnHorZoomOut->setFlat(true);
  mBtnHorZoomOut->setIcon(QIcon(QStringLiteral(":/newPrefix/img/btn_zoom_out_off.png")));
  horizontalLayout_9->addWidget(mBtnHorZoomIn);
  horizontalLayout_9->addWidget(mBtnHorZoomOut);
  horizontalLayout_7->addWidget(mScrollBar);
  horizontalLayout_7->addWidget(mZoomFrame);
  mVerticalLayoutMiddle->addWidget(mScrollFrame);

  mVerticalLayout->addWidget(mMiddleVerticalLayoutMiddle);
}

void Ui_MainWindow::setupBottomFrame() {
  mBottomVerticalFrame = frame(centralWidget, "mBottomVerticalFrame", QFrame::StyledPanel);
  fixHeight(mBottomVerticalFrame, 64);
  setPointFont(mBottomVerticalFrame, 10);
  mBottomHorizontalLayout =
      layoutOn<QHBoxLayout>(mBottomVerticalFrame, "mBottomHorizontalLayout", 2, 2, 1, 2, 1);

  mFrameCheckBox = frame(mBottomVerticalFrame, "mFrameCheckBox", QFrame::NoFrame);
  mFrameCheckBox->setMinimumWidth(210);
  fixHeight(mFrameCheckBox, 50);
  gridLayout = layoutOn<QGridLayout>(mFrameCheckBox, "gridLayout", 2, 2, 1, 2, 1);
  mStartTimeLabel = named(new QLabel(mFrameCheckBox), "mStartTimeLabel");
  mStartTimeLabel->setIndent(2);
  mEndTimeLabel = named(new QLabel(mFrameCheckBox), "mEndTimeLabel");
  mEndTimeLabel->setIndent(2);
  mLEditTrimStart = named(new DvLineEdit(mFrameCheckBox), "mLEditTrimStart");
  mLEditTrimEnd = named(new DvLineEdit(mFrameCheckBox), "mLEditTrimEnd");
  for (DvLineEdit* trim : {mLEditTrimStart, mLEditTrimEnd}) {
    fixHeight(trim, 24);
    setPointFont(trim, 11);
    trim->setFocusPolicy(Qt::StrongFocus);
  }
  mLEditTrimStart->setClearButtonEnabled(false);
  mChkFade = noFocus(named(new DvCheckBox(mFrameCheckBox), "mChkFade"));
  fixWidth(mChkFade, 52);
  mChkFade->setTristate(false);
  gridLayout->addWidget(mStartTimeLabel, 0, 0);
  gridLayout->addWidget(mEndTimeLabel, 0, 1);
  gridLayout->addWidget(mLEditTrimStart, 2, 0);
  gridLayout->addWidget(mLEditTrimEnd, 2, 1);
  gridLayout->addWidget(mChkFade, 2, 2);
  mBottomHorizontalLayout->addWidget(mFrameCheckBox);
  mBottomHorizontalLayout->addItem(new QSpacerItem(100, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

  mFramePushButton = frame(mBottomVerticalFrame, "mFramePushButton", QFrame::NoFrame);
  fixHeight(mFramePushButton, 50);
  gridLayout_5 = new QGridLayout(mFramePushButton);
  gridLayout_5->setObjectName("gridLayout_5");
  gridLayout_5->setHorizontalSpacing(4);
  gridLayout_5->setVerticalSpacing(3);
  gridLayout_5->setContentsMargins(2, 1, 2, 1);
  gridLayout_5->addItem(new QSpacerItem(71, 12, QSizePolicy::Minimum, QSizePolicy::Minimum), 0, 0, 1, 3);
  mBtnShiftBeatPosition = noFocus(named(new DvPushButton(mFramePushButton), "mBtnShiftBeatPosition"));
  mBtnShiftBeatPosition->setMinimumSize(160, 30);
  mBtnShiftBeatPosition->setMaximumHeight(30);
  gridLayout_5->addWidget(mBtnShiftBeatPosition, 1, 1);
  mBottomHorizontalLayout->addWidget(mFramePushButton, 0, Qt::AlignBottom);
  mBottomHorizontalLayout->addItem(new QSpacerItem(100, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

  mPickupFrame = frame(mBottomVerticalFrame, "mPickupFrame", QFrame::NoFrame);
  mPickupFrame->setMinimumWidth(148);
  fixHeight(mPickupFrame, 50);
  gridLayout_4 = layoutOn<QGridLayout>(mPickupFrame, "gridLayout_4", 2, 2, 1, 2, 1);
  mPickupLabel = named(new QLabel(mPickupFrame), "mPickupLabel");
  mPickupLabel->setIndent(2);
  mChkBlank = noFocus(named(new DvCheckBox(mPickupFrame), "mChkBlank"));
  fixWidth(mChkBlank, 57);
  mSpinPickup = named(new DvSpinBox(mPickupFrame), "mSpinPickup");
  mSpinPickup->setMinimumSize(50, 24);
  mSpinPickup->setMaximumHeight(24);
  setPointFont(mSpinPickup, 11);
  mSpinPickup->setAlignment(Qt::AlignCenter);
  mSpinPickup->setFocusPolicy(Qt::ClickFocus);
  mSpinPickup->setValue(0);
  mBeatLabel = named(new QLabel(mPickupFrame), "mBeatLabel");
  fixHeight(mBeatLabel, 24);
  mBeatLabel->setIndent(2);
  gridLayout_4->addWidget(mPickupLabel, 0, 1);
  gridLayout_4->addWidget(mChkBlank, 1, 0);
  gridLayout_4->addWidget(mSpinPickup, 1, 1);
  gridLayout_4->addWidget(mBeatLabel, 1, 2);
  mBottomHorizontalLayout->addWidget(mPickupFrame);

  mVerticalLayout->addWidget(mBottomVerticalFrame);
}

void Ui_MainWindow::setupMenus(QMainWindow* window) {
  menuBar = named(new QMenuBar(window), "menuBar");
  menuBar->setGeometry(QRect(0, 0, 666, 24));
  menuFile = named(new QMenu(menuBar), "menuFile");
  menuEdit = named(new QMenu(menuBar), "menuEdit");
  menuSetting = named(new QMenu(menuBar), "menuSetting");
  menuHelp = named(new QMenu(menuBar), "menuHelp");
  window->setMenuBar(menuBar);
  menuBar->addAction(menuFile->menuAction());
  menuBar->addAction(menuEdit->menuAction());
  menuBar->addAction(menuSetting->menuAction());
  menuBar->addAction(menuHelp->menuAction());
  menuFile->addAction(actionNewAudioStyleProject);
  menuFile->addAction(actionNewAudioStyleProject_with_Import);
  menuFile->addAction(actionOpenAudioStyleProject);
  menuFile->addSeparator();
  menuFile->addAction(actionSaveAudioStyleProject);
  menuFile->addAction(actionSaveAudioStyleProject_as);
  menuFile->addAction(actionExport_as_AudioStyleFile);
  menuFile->addSeparator();
  menuFile->addAction(actionQuit);
  menuEdit->addAction(actionUndo);
  menuEdit->addAction(actionRedo);
  menuSetting->addAction(actionAudioDeviceSetting);
  menuHelp->addAction(actionAbout);
}

void Ui_MainWindow::retranslateUi(QMainWindow* window) {
  window->setWindowTitle(tr("MainWindow"));
  const struct {
    QAction* action;
    const char* text;
    const char* shortcut;
  } actions[] = {
      {actionNewAudioStyleProject, "New Audio Style Project", "Ctrl+N"},
      {actionNewAudioStyleProject_with_Import, "New Audio Style Project with Importing Audio ...", "Ctrl+I"},
      {actionOpenAudioStyleProject, "Open Audio Style Project ...", "Ctrl+O"},
      {actionSaveAudioStyleProject, "Save Audio Style Project", "Ctrl+S"},
      {actionSaveAudioStyleProject_as, "Save Audio Style Project as ...", "Ctrl+Shift+S"},
      {actionExport_as_AudioStyleFile, "Export as Audio Style File ...", "Ctrl+E"},
      {actionQuit, "Quit", "Ctrl+Q"},
      {actionUndo, "Undo", "Ctrl+Z"},
      {actionRedo, "Redo", "Ctrl+Y"},
      {actionAudioDeviceSetting, "Audio Device Setting ...", ""},
      {actionAbout, "About ...", ""},
      {actionSelectAll, "Select all", "Ctrl+A"},
      {actionSelectClear, "Select clear", "Ctrl+Shift+A"},
  };
  for (const auto& a : actions) {
    a.action->setText(tr(a.text));
    a.action->setShortcut(QKeySequence(tr(a.shortcut), QKeySequence::NativeText));
  }

  mLEditProjectFileName->setText(QString());
  mLEditBeat->setText(tr("4/4"));
  mLabelTempo->setText(QString());
  mPushButtonPlay->setText(QString());
  mChkTimeStretch->setText(tr("Time stretch"));
  mChkClick->setText(tr("Click"));
  mBtnBeatAnaHalf->setText(tr(" /2"));
  mBtnBeatAnaDouble->setText(tr("x2"));
  mSectionLabel->setText(tr("Section"));
  mChkManual->setText(tr("Manual"));
  mBarLabel->setText(tr("Bar"));
  mWaveLabel->setText(tr("Wave file"));
  mCmbWav->setToolTip(tr("select audio file for section assign"));
  mBtnImport->setText(QString());
  mBtnUnlink->setText(QString());
  mBtnHorZoomIn->setText(QString());
  mBtnHorZoomOut->setText(QString());
  mStartTimeLabel->setText(tr("Start time (sec.)"));
  mEndTimeLabel->setText(tr("End time (sec.)"));
  mLEditTrimStart->setText(QString());
  mLEditTrimEnd->setText(QString());
  mLEditTrimEnd->setToolTip(tr("trimming end point [sec.]"));
  mChkFade->setText(tr("Fade"));
  mBtnShiftBeatPosition->setText(tr("Shift Beat Position"));
  mPickupLabel->setText(tr("Pickup"));
  mBeatLabel->setText(tr("Beat "));
  mSpinPickup->setToolTip(tr("Number of beat pickup (half beat unit)"));
  mChkBlank->setText(tr("Blank"));
  menuFile->setTitle(tr("File"));
  menuEdit->setTitle(tr("Edit"));
  menuHelp->setTitle(tr("Help"));
  menuSetting->setTitle(tr("Setting"));

  mCmbTrimSec->clear();
  mCmbTrimSec->insertItems(0, QStringList{tr("Intro 1"), tr("Intro 2"), tr("Intro 3"), tr("Main A"), tr("Main B"),
                                          tr("Main C"), tr("Main D"), tr("Fill in A"), tr("Fill in B"),
                                          tr("Fill in C"), tr("Fill in D"), tr("Break"), tr("Ending 1"),
                                          tr("Ending 2"), tr("Ending 3")});
}
