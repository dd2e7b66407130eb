#pragma once
// The application's one window and the owner of everything the user works
// on: the project core and its work copy, the audio link, the audio-file
// service, the waveform layers of its wave frame, and the workers, threads
// and progress dialogs of the long-running commands.

#include <QMainWindow>
#include <QProgressDialog>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "AudioOutputSeam.h"
#include "CASTcore.h"
#include "ResultCode.h"
#include "Ui_MainWindow.h"

class IF_audioFileMngr;
class QLabel;
class QStyle;
class anaThread;
template <typename T>
class ISeekable;

class MainWindow : public QMainWindow, public Ui::MainWindow {
  Q_OBJECT

 public:
  // The work copy of the project core: compound edits and the export checks
  // copy the project core into it, change the copy and hand its model back
  // as one "set all" step.
  class CASTcoreWork : public CASTcore {
   public:
    virtual ~CASTcoreWork() = default;
  };

  // A progress dialog that neither the user nor the window system can close
  // until the program sets `closable`.
  class ProgressDialog : public QProgressDialog {
   public:
    using QProgressDialog::QProgressDialog;
    bool closable = false;

   protected:
    void closeEvent(QCloseEvent* event) override;
  };

  using EventHook = std::function<void(QObject*, QEvent*)>;

  MainWindow();
  explicit MainWindow(const QString& projectPath);
  ~MainWindow() override;

  // The path of the current project file; empty for a new project.
  const QString& projectPath() const { return mProjectPath; }
  int projectState() const { return mProjectState; }
  bool audioDeviceOn() const { return mAudioDeviceOn != 0; }
  CASTcore& core() { return mCore; }

  // Resets the core and the window to an empty project named
  // "New Audio Style.qmproj".
  ResultCode createNewProject();
  // Opens a project file; an empty path asks for one.
  void openProjectFile(const QString& path);
  void setProjectName(const QString& path);

 public slots:
  void newProject();
  void openProject();
  void saveProject();
  void saveProjectAs();
  void releasedBtnOpenWav();
  void releasedBtnExportSty();
  void undo();
  void redo();
  void onSelectAll();
  void onClearAll();
  void audioDeviceSetting();
  void openInformation();
  void beatTextChanged(const QString& text);
  void beatEditingFinished();
  void valueChangedSpinTempo(int value);
  void releasedBtnPlayLoop();
  void releasedBtnStopped();
  void location();
  void valueChangedSliderMetro(int value);
  void clickedChkTimeStretch(bool checked);
  void clickedChkClick(bool checked);
  void releasedBtnBeatAnaHalf();
  void releasedBtnBeatAnaDouble();
  void currentIdxChangedCmbTrimSec(int index);
  void clickedChkManual(bool checked);
  void valueChangedSpinBars(int value);
  void currentIdxChangedCmbWav();
  void releasedBtnImportAudio();
  void releasedBtnUnlinkAudio();
  void valueChangedScrollBar(int value);
  void releasedBtnHorZoomIn();
  void releasedBtnHorZoomOut();
  void trimStartTextChanged(const QString& text);
  void trimStartEditingFinished();
  void trimEndTextChanged(const QString& text);
  void trimEndEditingFinished();
  void clickedChkFade(bool checked);
  void releasedBtnBeatToggleShift();
  void clickedChkBlank(bool checked);
  void valueChangedSpinPickup(int value);

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Construction steps.
  void connectSignals();
  std::map<QObject*, EventHook> installEventHooks();
  void fillSectionCombo();
  void updateBlankCheck();
  void loadPreference();
  void findEmptyStyle();
  void openAudioDevice();
  void savePreference();
  void closeAudioDevice();
  void resetViewState();
  void setSectionWaveView(int wave, int section, std::uint64_t sampleCount, const std::vector<std::uint64_t>& grid,
                          std::uint32_t zoom, double scrollOffset);
  ResultCode loadSectionLines(std::uint8_t section);

  // Event hooks.
  void hookBeatEdit(QObject* watched, QEvent* event);
  void hookTempoSpin(QObject* watched, QEvent* event);
  void hookPickupSpin(QObject* watched, QEvent* event);
  void hookTrimEdit(QObject* watched, QEvent* event);
  void hookNone(QObject* watched, QEvent* event);
  void setEnabledToolTip(QObject* watched, const QString& text);
  void trimEditingFinished(QObject* field);

  // Refreshers run at the end of every command.
  void updateActionStates();
  void updateUndoRedoActions();
  void updateSectionControls(int section);
  void updateSectionPanel(int section);
  void resetSectionPanel(bool clearName);

  // Project file commands.
  int confirmDiscardChanges();
  ResultCode loadProjectFile();
  ResultCode saveProjectFile(const QString& path);
  bool saveProjectFileAs();
  void showMemoryFull();

  CASTcore mCore;
  CASTcoreWork mCoreWork;
  std::uint8_t mClickOn = 1;
  std::uint8_t mClickOnSaved = 1;
  std::uint8_t mSourceLevel = 100;
  std::uint8_t mClick2On = 1;
  AudioOutputSeam mAudition{&mClickOn, &mSourceLevel, &mClick2On};
  IF_audioFileMngr* mAudioFileMngr = nullptr;
  QString mProjectPath;
  std::uint8_t mComboGuard = 1;
  int mCurrentSection = 3;
  int mCurrentWave = 0;
  anaThread* mAnaThread = nullptr;
  QStyle* mFusionStyle = nullptr;
  std::uint8_t mMemoryFull = 0;
  std::uint8_t mPlaying = 0;
  std::uint8_t mAudioDeviceOn = 1;
  std::array<std::uint8_t, 6> mAnalysisOptions{{0, 4, 4, 1, 4, 4}};
  QString mAudioDeviceName;
  std::vector<QWidget*> mLayers;
  std::uint64_t mSampleCount = 0;
  std::uint32_t mZoom = 1;
  double mScrollOffset = 0.0;
  ISeekable<float>* mWaveSeeker = nullptr;
  std::vector<std::uint64_t> mGridList;
  std::vector<std::uint64_t> mGridList2;
  std::vector<std::uint64_t> mHalfBeatList;
  int mProjectState = 0;
  ProgressDialog* mAnaProgress = nullptr;
  QLabel* mStatusLabel = nullptr;
  QStringList mDropFiles;
  QTimer mDropTimer;
  int mDropKind = 0;
  std::uint8_t mUndoing = 0;
  std::uint8_t mManualDefault = 0;
  std::uint8_t mTimeStretchDefault = 0;
  QObject* mExportStyle = nullptr;
  QThread* mExportThread = nullptr;
  ProgressDialog* mExportProgress = nullptr;
  QObject* mStretcher = nullptr;
  QThread* mStretchThread = nullptr;
  ProgressDialog* mStretchProgress = nullptr;
  QWidget* mStretchViewer = nullptr;
  // Built once by installEventHooks; eventFilter looks the watched object up.
  std::map<QObject*, EventHook> mEventHooks;
};
