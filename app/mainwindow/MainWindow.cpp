// MainWindow: construction, wiring and teardown.

#include "MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QRegExp>
#include <QRegExpValidator>
#include <QStyleFactory>
#include <QtDebug>

#include "ASTprotoSettings.h"
#include "AnalysisUtil.h"
#include "AudioDeviceASFF.h"
#include "ISeekable.h"
#include "IF_audioFileMngr.h"
#include "MessageDialog.h"
#include "SectionNameTable.h"
#include "UiResources.h"
#include "WindowGeometry.h"
#include "anaThread.h"
#include "audioFileMngr.h"

namespace {

const QString emptyString;
const QString kProductTitle = QStringLiteral("Quillmere");

// Every direct child widget gets the window's font at 11 pixels.
void setChildFontPixelSize(QWidget* window) {
  for (QObject* child : window->children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget) continue;
    widget->setFont(window->font());
    QFont font = widget->font();
    font.setPixelSize(11);
    widget->setFont(font);
  }
}

void setPixelSize(QWidget* widget, int pixels) {
  QFont font = widget->font();
  font.setPixelSize(pixels);
  widget->setFont(font);
}

}  // namespace

void MainWindow::ProgressDialog::closeEvent(QCloseEvent* event) { event->setAccepted(closable); }

MainWindow::MainWindow() : MainWindow(emptyString) {}

MainWindow::MainWindow(const QString& projectPath) : QMainWindow(nullptr, Qt::WindowFlags()) {
  initUiResources();
  QCoreApplication::setOrganizationName("Dorvik Corp.");
  QCoreApplication::setOrganizationDomain("dorvik.example");
  QCoreApplication::setApplicationName("Quillmere");
  const QIcon icon(QStringLiteral(":/img/icon36.png"));

  setupUi(this);
  setWindowIcon(icon);
  connectSignals();

  mStatusLabel = new QLabel();
  mStatusLabel->setFont(Ui_MainWindow::statusBar->font());
  Ui_MainWindow::statusBar->addWidget(mStatusLabel, 0);

  setChildFontPixelSize(this);
  const std::pair<QWidget*, int> pixelSizes[] = {
      {mLEditProjectFileName, 26}, {mLEditBeat, 26},        {mSpinTempo, 26},
      {mChkTimeStretch, 20},       {mChkClick, 20},         {mBtnBeatAnaHalf, 20},
      {mBtnBeatAnaDouble, 20},     {mSectionLabel, 16},     {mCmbTrimSec, 18},
      {mChkManual, 18},            {mBarLabel, 16},         {mSpinBars, 18},
      {mWaveLabel, 16},            {mCmbWav, 18},           {mBtnImport, 18},
      {mBtnUnlink, 18},            {mStartTimeLabel, 12},   {mLEditTrimStart, 14},
      {mEndTimeLabel, 12},         {mLEditTrimEnd, 14},     {mChkFade, 14},
      {mBtnShiftBeatPosition, 14}, {mChkBlank, 14},         {mPickupLabel, 12},
      {mSpinPickup, 14},           {mBeatLabel, 12},        {mStatusLabel, 12},
  };
  for (const auto& [widget, pixels] : pixelSizes) setPixelSize(widget, pixels);

  mFusionStyle = QStyleFactory::create("Fusion");
  setWindowTitle(kProductTitle);

  for (QWidget* w : {static_cast<QWidget*>(this), Ui_MainWindow::centralWidget, static_cast<QWidget*>(mTopFrame),
                     static_cast<QWidget*>(mMiddleVerticalLayoutMiddle), static_cast<QWidget*>(mBottomVerticalFrame)}) {
    w->setAttribute(Qt::WA_MouseTracking);
  }
  mFrameWav->mMouseTarget = this;

  fillSectionCombo();

  const QRegExp trimPattern(QStringLiteral("([1-9][0-9]{0,4}|[0]{0,1})(\\.[0-9]{1,6})"), Qt::CaseSensitive,
                            QRegExp::RegExp);
  mLEditTrimStart->setValidator(new QRegExpValidator(trimPattern, this));
  mLEditTrimEnd->setValidator(new QRegExpValidator(trimPattern, this));

  mEventHooks = installEventHooks();
  for (const auto& entry : mEventHooks) entry.first->installEventFilter(this);

  updateBlankCheck();
  mPickupFrame->setVisible(false);
  setSectionWaveView(mCurrentWave, mCurrentSection, mSampleCount, {}, mZoom, mScrollOffset);
  refreshSectionView();

  loadPreference();
  findEmptyStyle();
  openAudioDevice();
  // Copying a core does not carry its fade length, so the work copy gets
  // its own: a rendered section sounds the same from either core.
  const std::uint64_t fadeFrames = AnalysisUtil().secondsToSamples(0.026f);
  mCore.setFadeLength(fadeFrames);
  mCoreWork.setFadeLength(fadeFrames);

  mAudioFileMngr = audioFileMngr::create();
  mComboGuard = 0;
  setAcceptDrops(true);
  createNewProject();
  if (!projectPath.isEmpty()) openProjectFile(projectPath);
}

MainWindow::~MainWindow() {
  QObject::disconnect(&mDropTimer, nullptr, nullptr, nullptr);
  QGuiApplication::restoreOverrideCursor();
  // The jobs first: a quit on a signal can end the event loop while one
  // runs, and it works on the core, the audition and the file service.
  if (mAnaThread) {
    mAnaThread->abort();
    mAnaThread->wait();
    delete mAnaThread;
    mAnaThread = nullptr;
  }
  // The export and stretch threads end their event loops when their jobs
  // end; one still running is asked to quit and waited for, so no thread
  // object is destroyed while its thread runs.
  for (QThread* thread : {mStretchThread, mExportThread}) {
    if (thread && thread->isRunning()) {
      thread->quit();
      thread->wait();
    }
  }
  delete mWaveSeeker;
  mWaveSeeker = nullptr;
  deleteLayers();
  savePreference();
  closeAudioDevice();
  delete mAudioFileMngr;
  mAudioFileMngr = nullptr;
  delete mFusionStyle;
  mFusionStyle = nullptr;
  auto release = [](auto*& pointer) {
    auto* object = pointer;
    pointer = nullptr;
    delete object;
  };
  release(mStretchViewer);
  release(mStretchProgress);
  release(mStretchThread);
  release(mStretcher);
  release(mExportProgress);
  release(mExportThread);
  release(mExportStyle);
  release(mAnaProgress);
  delete mStatusLabel;
}

void MainWindow::connectSignals() {
  struct Link {
    QObject* sender;
    const char* signal;
    const char* slot;
  };
  const Link links[] = {
      {actionNewAudioStyleProject, SIGNAL(triggered()), SLOT(newProject())},
      {actionNewAudioStyleProject_with_Import, SIGNAL(triggered()), SLOT(releasedBtnOpenWav())},
      {actionOpenAudioStyleProject, SIGNAL(triggered()), SLOT(openProject())},
      {actionSaveAudioStyleProject, SIGNAL(triggered()), SLOT(saveProject())},
      {actionSaveAudioStyleProject_as, SIGNAL(triggered()), SLOT(saveProjectAs())},
      {actionExport_as_AudioStyleFile, SIGNAL(triggered()), SLOT(releasedBtnExportSty())},
      {actionQuit, SIGNAL(triggered()), SLOT(close())},
      {actionUndo, SIGNAL(triggered()), SLOT(undo())},
      {actionRedo, SIGNAL(triggered()), SLOT(redo())},
      {actionSelectAll, SIGNAL(triggered()), SLOT(onSelectAll())},
      {actionSelectClear, SIGNAL(triggered()), SLOT(onClearAll())},
      {actionAudioDeviceSetting, SIGNAL(triggered()), SLOT(audioDeviceSetting())},
      {actionAbout, SIGNAL(triggered()), SLOT(openInformation())},
      {mLEditBeat, SIGNAL(textChanged(QString)), SLOT(beatTextChanged(QString))},
      {mLEditBeat, SIGNAL(editingFinished()), SLOT(beatEditingFinished())},
      {mSpinTempo, SIGNAL(valueChanged(int)), SLOT(valueChangedSpinTempo(int))},
      {mPushButtonPlay, SIGNAL(clicked()), SLOT(releasedBtnPlayLoop())},
      {mSliderMetro, SIGNAL(valueChanged(int)), SLOT(valueChangedSliderMetro(int))},
      {mChkTimeStretch, SIGNAL(clicked(bool)), SLOT(clickedChkTimeStretch(bool))},
      {mChkClick, SIGNAL(clicked(bool)), SLOT(clickedChkClick(bool))},
      {mBtnBeatAnaHalf, SIGNAL(clicked()), SLOT(releasedBtnBeatAnaHalf())},
      {mBtnBeatAnaDouble, SIGNAL(clicked()), SLOT(releasedBtnBeatAnaDouble())},
      {mCmbTrimSec, SIGNAL(currentIndexChanged(int)), SLOT(currentIdxChangedCmbTrimSec(int))},
      {mChkManual, SIGNAL(clicked(bool)), SLOT(clickedChkManual(bool))},
      {mSpinBars, SIGNAL(valueChanged(int)), SLOT(valueChangedSpinBars(int))},
      {mCmbWav, SIGNAL(currentIndexChanged(int)), SLOT(currentIdxChangedCmbWav())},
      {mBtnImport, SIGNAL(clicked()), SLOT(releasedBtnImportAudio())},
      {mBtnUnlink, SIGNAL(clicked()), SLOT(releasedBtnUnlinkAudio())},
      {mScrollBar, SIGNAL(valueChanged(int)), SLOT(valueChangedScrollBar(int))},
      {mBtnHorZoomIn, SIGNAL(clicked()), SLOT(releasedBtnHorZoomIn())},
      {mBtnHorZoomOut, SIGNAL(clicked()), SLOT(releasedBtnHorZoomOut())},
      {mLEditTrimStart, SIGNAL(textChanged(QString)), SLOT(trimStartTextChanged(QString))},
      {mLEditTrimStart, SIGNAL(editingFinished()), SLOT(trimStartEditingFinished())},
      {mLEditTrimEnd, SIGNAL(textChanged(QString)), SLOT(trimEndTextChanged(QString))},
      {mLEditTrimEnd, SIGNAL(editingFinished()), SLOT(trimEndEditingFinished())},
      {mChkFade, SIGNAL(clicked(bool)), SLOT(clickedChkFade(bool))},
      {mBtnShiftBeatPosition, SIGNAL(clicked()), SLOT(releasedBtnBeatToggleShift())},
      {mChkBlank, SIGNAL(clicked(bool)), SLOT(clickedChkBlank(bool))},
      {mSpinPickup, SIGNAL(valueChanged(int)), SLOT(valueChangedSpinPickup(int))},
  };
  for (const Link& link : links) QObject::connect(link.sender, link.signal, this, link.slot);
}

std::map<QObject*, MainWindow::EventHook> MainWindow::installEventHooks() {
  using namespace std::placeholders;
  std::map<QObject*, EventHook> hooks;
  hooks[mLEditBeat] = std::bind(&MainWindow::hookBeatEdit, this, _1, _2);
  hooks[mSpinTempo] = std::bind(&MainWindow::hookTempoSpin, this, _1, _2);
  hooks[mSpinPickup] = std::bind(&MainWindow::hookPickupSpin, this, _1, _2);
  hooks[mLEditTrimStart] = std::bind(&MainWindow::hookTrimEdit, this, _1, _2);
  hooks[mLEditTrimEnd] = std::bind(&MainWindow::hookTrimEdit, this, _1, _2);
  for (QObject* quiet : std::initializer_list<QObject*>{
           mLEditProjectFileName, mPushButtonPlay, mSliderMetro, mChkTimeStretch, mChkClick, mBtnBeatAnaHalf,
           mBtnBeatAnaDouble, mCmbTrimSec, mChkManual, mSpinBars, mBtnImport, mBtnUnlink, mBtnHorZoomIn,
           mBtnHorZoomOut, mChkFade, mBtnShiftBeatPosition, mChkBlank}) {
    hooks[quiet] = std::bind(&MainWindow::hookNone, this, _1, _2);
  }
  return hooks;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const auto hook = mEventHooks.find(watched);
  if (hook != mEventHooks.end()) {
    hook->second(watched, event);
    return QMainWindow::eventFilter(watched, event);
  }
  bool filtered = false;
  if (filterJobWindowEvent(watched, event, filtered)) return filtered;
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setEnabledToolTip(QObject* watched, const QString& text) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget) widget->setToolTip(widget->isEnabled() ? text : QString());
}

void MainWindow::hookBeatEdit(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip) setEnabledToolTip(watched, tr("[1-12] / [2,4,8]"));
}

void MainWindow::hookTempoSpin(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ToolTip) setEnabledToolTip(watched, tr("[5-500]"));
}

void MainWindow::hookPickupSpin(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ToolTip) return;
  QString text;
  std::uint8_t numerator = 4;
  std::uint8_t denominator = 4;
  if (mSpinPickup->isEnabled() && mCore.getTimeSig(numerator, denominator) == 0 && numerator != 0) {
    text = QString("[1-%1]").arg(2 * numerator - 1);
  }
  setEnabledToolTip(watched, text);
}

void MainWindow::hookTrimEdit(QObject* watched, QEvent* event) {
  auto* field = qobject_cast<QLineEdit*>(watched);
  if (!field) return;
  switch (event->type()) {
    case QEvent::KeyRelease: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        trimEditingFinished(field);
        field->selectAll();
      }
      break;
    }
    case QEvent::FocusIn: field->selectAll(); break;
    case QEvent::FocusOut: trimEditingFinished(field); break;
    default: break;
  }
}

void MainWindow::hookNone(QObject*, QEvent*) {}

void MainWindow::fillSectionCombo() {
  mComboGuard = 1;
  mCmbTrimSec->clear();
  for (int slot = 0; slot < SectionNameTable::kSlots; ++slot) mCmbTrimSec->addItem(SectionNameTable::name(slot));
  mCmbTrimSec->setEnabled(mProjectState != 0);
  mComboGuard = 0;
}

void MainWindow::updateBlankCheck() {
  const bool off = mProjectState == 0 || mChkManual->isChecked() || mCmbWav->currentIndex() == -1;
  mChkBlank->setEnabled(!off);
  if (mChkManual->isChecked()) mChkBlank->setChecked(false);
  if (off) return;
  SecInfo* section = nullptr;
  if (mCore.getSecInfo(static_cast<std::uint8_t>(mCurrentSection), &section) != 0 || !section) return;
  constexpr unsigned kIntrosAndEndings = 0x7007;
  mChkBlank->setEnabled(((kIntrosAndEndings >> mCurrentSection) & 1) != 0);
  const std::uint8_t guard = mComboGuard;
  mComboGuard = 1;
  mChkBlank->setChecked(section->pickupSw != 0);
  mComboGuard = guard;
}

void MainWindow::resetViewState() {
  mProjectPath.clear();
  mCurrentSection = 3;
  mCurrentWave = 0;
  mMemoryFull = 0;
  mPlaying = 0;
  mClickOn = 1;
  mSourceLevel = 100;
  mClick2On = 1;
  // A device that failed to open at start is tried again: every new project
  // puts it back in use, so the device setting can choose another one.
  mAudioDeviceOn = 1;
  mAnalysisOptions = {{0, 4, 4, 1, 4, 4}};
  mSampleCount = 0;
  mZoom = 1;
  mScrollOffset = 0.0;
  mAnchor = QPoint(-1, 0);
  mPressPoint = QPoint(-1, 0);
  mRightPressPoint = QPoint(-1, 0);
  mEdgeMode = 3;
  mDragDirection = 2;
  mKeyModifiers = Qt::NoModifier;
  mKeyDrag = false;
  mSelStart = 0;
  mSelEnd = 0;
  mSelShown = false;
  mRangeItems.clear();
  mGridList.clear();
  mGridLines.clear();
  mGridList2.clear();
  mHalfBeatList.clear();
  mProjectState = 1;
  mDropFiles.clear();
  QObject::disconnect(&mDropTimer, nullptr, nullptr, nullptr);
  mDropKind = 0;
}

void MainWindow::setSectionWaveView(int wave, int section, std::uint64_t sampleCount,
                                    const std::vector<std::uint64_t>& grid, std::uint32_t zoom,
                                    double scrollOffset) {
  mCurrentSection = section;
  mCurrentWave = wave;
  mSampleCount = sampleCount;
  if (&grid != &mGridList) mGridList = grid;
  mZoom = zoom;
  mScrollOffset = scrollOffset;
  loadSectionLines(static_cast<std::uint8_t>(section));
  buildWaveLayers();
}

ResultCode MainWindow::loadSectionLines(std::uint8_t section) {
  WavInfo* wave = nullptr;
  if (mCore.getSecWaveOnly(section, &wave) != 0 || !wave) return Result::fail(1);
  if (!QFile::exists(QString::fromStdWString(wave->fileName))) return Result::fail(2);
  ResultCode code = rebuildBeatList(mCore, section);
  if (code == 0 && mCurrentWave >= 0) code = rebuildHalfBeatList(mCore, static_cast<std::uint8_t>(mCurrentWave));
  return code;
}

void MainWindow::loadPreference() {
  const WindowGeometrySettings record(kMainWindowGeometryGroup);
  restoreWindowGeometry(*this, record, &WindowGeometryAdjuster::adjustWindowToGeometry);
  if (record.loadMaximized()) showMaximized();
  if (mAudioDeviceOn) {
    mAudioDeviceName = loadAudioDeviceName();
    qDebug() << tr("loadPreference: Audio Driver = [%1]").arg(mAudioDeviceName);
  }
  mManualDefault = loadManualDefault() ? 1 : 0;
  mTimeStretchDefault = loadTimeStretchDefault() ? 1 : 0;
}

void MainWindow::findEmptyStyle() {
  const QStringList folders{QCoreApplication::applicationDirPath() + "/../Resources",
                            QDir::current().canonicalPath() + "/../Resources"};
  for (const QString& folder : folders) {
    if (!QFile::exists(folder + "/Empty.sty")) continue;
    mCore.setPath(1, 255, folder);
    qDebug() << " find Empty.sty: " << folder;
    return;
  }
}

void MainWindow::openAudioDevice() {
  if (!mAudioDeviceOn) return;
  const ResultCode code = mAudition.init(mAudioDeviceName);
  if (code != 0) {
    showMessage(this, kProductTitle,
                tr("Cannot open the audio output device \"%1\". [%2]").arg(mAudioDeviceName).arg(code, 0, 16),
                QMessageBox::Ok, QMessageBox::Ok);
    mAudioDeviceOn = 0;
  }
  if (const QSharedPointer<AudioDeviceASFF> device = mAudition.audioDevice()) {
    connect(&mAudition, SIGNAL(signalStop()), this, SLOT(releasedBtnStopped()));
    connect(device.data(), SIGNAL(signalLocation()), this, SLOT(location()));
  }
  if (code != 0) return;
  QString metro1 = QCoreApplication::applicationDirPath() + "/../Resources/Metro1.wav";
  QString metro2 = QCoreApplication::applicationDirPath() + "/../Resources/Metro2.wav";
  if (!QFile::exists(metro1)) {
    metro1 = QDir::current().canonicalPath() + "/../Resources/Metro1.wav";
    metro2 = QDir::current().canonicalPath() + "/../Resources/Metro2.wav";
    if (!QFile::exists(metro1)) return;
  }
  qDebug() << " find Metro1.wav: " << metro1;
  qDebug() << " find Metro2.wav: " << metro2;
  mAudition.setMetronomeFiles(metro1, metro2);
}

void MainWindow::savePreference() {
  saveWindowPlacement(*this, WindowGeometrySettings(kMainWindowGeometryGroup));
  if (mAudioDeviceOn) {
    saveAudioDeviceName(mAudioDeviceName);
    mAudioDeviceName = loadAudioDeviceName();
    qDebug() << tr("savePreference: Audio Driver = [%1]").arg(mAudioDeviceName);
  }
}

void MainWindow::closeAudioDevice() {
  if (!mAudioDeviceOn) return;
  const ResultCode code = mAudition.close();
  if (code != 0) {
    showMessage(this, kProductTitle,
                tr("Cannot close the audio output device \"%1\". [%2]").arg(mAudition.deviceName()).arg(code, 0, 16),
                QMessageBox::Ok, QMessageBox::Ok);
  }
  disconnect(&mAudition, SIGNAL(signalStop()), this, SLOT(releasedBtnStopped()));
}
