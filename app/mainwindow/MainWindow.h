#pragma once
// The application's one window and the owner of everything the user works
// on: the project core and its work copy, the audition, the audio-file
// service, the waveform layers of its wave frame, and the workers, threads
// and progress dialogs of the long-running commands.

#include <QMainWindow>
#include <QRect>
#include <QProgressDialog>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "ASTAudition.h"
#include "CASTcore.h"
#include "ImportedRecordings.h"
#include "RecordingCheck.h"
#include "ResultCode.h"
#include "TextItem.h"
#include "Ui_MainWindow.h"

class IF_audioFileMngr;
class QLabel;
class QKeyEvent;
class QLineEdit;
class QMouseEvent;
class wavPainter;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
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
  // The scratch core compound edits and the export checks work on.
  const CASTcore& workCore() const { return mCoreWork; }
  // Whether a plain section playback runs, and the audition behind it.
  bool isPlaying() const { return mPlaying != 0; }
  ASTAudition& audition() { return mAudition; }
  // The status label's text (rich text).
  QString statusText() const;
  // Runs the refreshers for the current section.
  void refreshSectionView();
  // After an edit of the current section: its controls (and markers), the
  // views, the action states and the undo and redo actions.
  void refreshAfterSectionEdit();
  // The wave view's selection (samples, start not after end), zoom and
  // scroll offset.
  int selectionStart() const { return mSelStart; }
  int selectionEnd() const { return mSelEnd; }
  std::uint32_t zoom() const { return mZoom; }
  double scrollOffset() const { return mScrollOffset; }
  // The length in samples of the recording the wave view spans.
  std::uint64_t shownSampleCount() const { return mSampleCount; }
  // The section ranges the view marks on the shown recording.
  const std::vector<TextItem>& sectionMarkers() const { return mRangeItems; }
  // Loads the current section into the wave view; with rebuild the layers
  // are set up again. The project has no undo history afterwards.
  void loadSectionWaveView(bool rebuild);

  // Resets the core and the window to an empty project named
  // "New Audio Style.qmproj".
  ResultCode createNewProject();
  // Opens a project file; an empty path asks for one.
  void openProjectFile(const QString& path);
  void setProjectName(const QString& path);
  // Whether the two waveform layers and the beat layer rebuild their
  // pictures at their next paint; only once the whole layer stack exists.
  void setWaveLayersPrepareFlag(bool prepare);
  // Stores the beat-shift state (0 not shifted, 1 shifted by half a beat)
  // and refreshes the button that toggles it.
  void setBeatShiftState(int state);

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
  void releasedBtnPlayLoopTS();
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
  // Shows the chosen section's recording whole (zoom 1) with the section's
  // range selected.
  void releasedBtnViewerWav();
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

  // Answers of the time-stretch and export workers (queued from their
  // threads).
  void timeStretchDone(unsigned long lErr, QString errorStr);
  void releasedBtnExportStyDone(unsigned long lErr);
  void releasedBtnExportStyErrorOnPreparation(unsigned long lErr);

  // Reports of the analysis thread (queued from the worker).
  void analyzed();
  void analyzeErr();
  void analyzeProgress(const unsigned char all, const unsigned char no, const unsigned char val);
  // The deferred work of an accepted drop.
  void dropEventAsynchronousProcessingImportWav();
  void dropEventAsynchronousProcessingLoadPrj();

 protected:
  // A file-open event imports a recording (by its suffix) or opens a project.
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

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
  bool isBusy() const;
  void updateActionStates();
  void updateUndoRedoActions();
  ResultCode updateSectionControls(int section);
  ResultCode updateSectionPanel(int section);
  void resetSectionPanel(bool clearProject);
  void updateAllViews(bool relayout);
  // The grid a loader hands to the view set-up: one position per beat of
  // the section's bars, replaced there by the recording's beats.
  std::vector<std::uint64_t> sectionGridPlaceholder(const SecInfo& sec, int section);
  void updateWaveButtons();
  void updatePlayButton();
  void updateBeatShiftButton();
  void updateTempoSpin();
  void updateTimeSignatureField();
  void updateBarsSpin();
  void updateFadeCheck();
  void updateTimeStretchCheck();
  void updateClickWidget();
  void updateMetronomeSlider();
  void updateManualCheck();
  void updatePickupSpin();
  // The wave frame's input and the section's switches, counts and click
  // controls, as the panel shows them after a change of section or project.
  void updateSectionSwitches();
  void fillWaveCombo();
  void selectSectionCombo(int section);
  int selectWaveInCombo(int index);
  QString waveFileNameAt(int index);
  void clearTrimFields();
  void updateTrimControls(int section);
  ResultCode updateTrimFieldsFromBeats(int section, int mode);
  ResultCode updateTrimFields(int mode, std::uint32_t startBeat, std::uint32_t endBeat);
  QString updateSectionInfoLabel();
  void showSectionInfo();
  void showStatusError(const QString& message);
  // Whether the project differs from what was last saved, opened or begun.
  bool isProjectModified();
  void markProjectSaved();
  ResultCode applyTempo(int value);

  // Project file commands.
  int confirmDiscardChanges();
  ResultCode loadProjectFile();
  ResultCode saveProjectFile(const QString& path);
  bool saveProjectFileAs();
  // True, after telling the user which file and why, when a file saved
  // under `path` would take the place of a FIFO or a device.
  bool refuseSaveOver(const QString& path);
  // True, after telling the user which file and why, when `path` leads to a
  // FIFO, a device or a folder: nothing may open it.
  bool refuseToRead(const QString& path);
  void showMemoryFull();

  // Import and analysis.
  // Fills both paths (asking for the audio file when its path is empty) and
  // makes sure the analysed-wave file exists, analysing under a progress
  // dialog when it does not; false when cancelled or failed.
  bool importAudioFile(QString& audioPath, QString& awiPath);
  // As above; `analysedNow` tells whether this call wrote the analysed-wave
  // file.
  bool importAudioFile(QString& audioPath, QString& awiPath, bool& analysedNow);
  ResultCode startAnalysis(const QStringList& folders, const QStringList& files);
  void importAudioToProject(QString& audioPath, QString& awiPath);
  // Undo or redo (`step`) with playback stopped around it and a full refresh.
  void stepHistory(void (CASTcore::*step)());
  // Imports each file in turn, then refreshes the window once.
  void importAudioFiles(const QStringList& files);
  ResultCode checkAudioFile(QString path, qint64& frames);
  // The check of a recording coming into the project, with the last error
  // and the memory flag started afresh so a refusal reports only its own.
  ResultCode checkIncomingAudio(const QString& path, qint64& frames);
  int findWaveIndexByFileName(const QString& fileName);
  void setDialogChildFonts(QWidget* dialog);
  void showImportError(ResultCode code);
  // An import that fails after the analysis: the analysis this import made
  // (`analysedNow`) goes again unless the project kept the recording, and
  // the box names the cause.
  void failImport(ResultCode code, const QString& audioPath, const QString& awiPath, bool analysedNow);
  bool isCurrentAnalysisSignal() const;
  void releaseAnalysisThread();
  ResultCode addWaveToCore(CASTcore& core, const QString& fileName, const QString& awiPath, qint64 frames);
  ResultCode assignWholeWaveToSection(CASTcore& core, std::uint8_t section, std::uint8_t wave);
  ResultCode assignWaveToSection(CASTcore& source, CASTcore& target, std::uint8_t wave);
  ResultCode removeUnusedWaves(const QString& name);
  ResultCode assignImportedWave(const QString& audioPath, const QString& awiPath, qint64 frames);
  // Applies the start state of the Manual switch to the current section.
  void applyManualDefault();
  // Before a recording is imported: a file that ends before the length its
  // header gives is imported only when the user agrees.
  bool acceptRecordingLength(const QString& audioPath);
  // Clears the focus of every field and gives it to the wave view, so the
  // window's keys and shortcuts still work.
  void focusWaveView();
  // A recording the project holds, imported again: when its analysis
  // beside it is of other audio than the project's (another take saved
  // under its name), the project takes it as one undo step.
  ResultCode takeNewAnalysis(int wave, const QString& awiPath);
  // Measures the audio coming in; true when this run imported other audio
  // under the same path before, so that its analysis cannot be reused.
  bool incomingAudioDiffers(const QString& audioPath);
  // The recording's audio and the analysis the project now holds of it.
  void rememberImport(const QString& audioPath);
  // The audio of every recording of the project just opened, so that a take
  // put in place of one while the project is open is refused at the export
  // as it is after an import.
  void rememberOpenedRecordings();
  // What the export's check of the recordings knows of this run.
  RecordingCheck::Context recordingCheckContext() const;

  // Drag and drop.
  bool acceptDragOfKind(QDropEvent* event, const QStringList& suffixes, int kind, Qt::DropAction action);
  bool isAudioFileUrl(QDropEvent* event);
  bool isProjectFileUrl(QDropEvent* event);
  bool scheduleDrop(QDropEvent* event, const char* slot);
  bool scheduleAudioDrop(QDropEvent* event);
  bool scheduleProjectDrop(QDropEvent* event);
  bool deferDropWhileBusy();

  // The wave frame's layers (MainWindowLayers.cpp).
  void buildWaveLayers();
  // Copies the grid list into the vector the beat layer draws.
  void syncGridLayer();
  void placeLayers();
  void placeLeftWaveLayer(wavPainter* layer);
  void placeRightWaveLayer(wavPainter* layer);
  void placeFullHeightLayer(wavPainter* layer);
  // Strip `row` below the waveforms; the 64-bit argument is not used.
  void placeStripLayer(wavPainter* layer, std::int64_t unused, std::uint32_t row);
  // A two-pixel-wide strip `offset` pixels into the frame.
  void placeMarkerLayer(wavPainter* layer, int offset);
  void deleteLayers();
  void clearFocusWidget();
  void setSelectionLayerFlags(bool foreground, bool background);
  void setWaveLayerFlags(bool foreground, bool background, bool prepare);

  // Waveform interaction and range assignment.
  wavPainter* layer(std::size_t index) const;
  int frameXOfSample(int sample) const;
  QPoint toFramePoint(const QPoint& windowPoint) const;
  bool insideFrame(const QPoint& framePoint) const;
  void adjustSelection(std::uint32_t zoom, bool scrollToSelection, int previous, double scroll);
  int selectionCondition() const;
  void updateHoverMode();
  wavPainter* layerAt(const QPoint& framePoint) const;
  int pointToSample(wavPainter* layer, const QPoint& framePoint) const;
  void moveWholeSelection(const QPoint& point, int dx);
  void scrollPagesWhileMoving(bool left);
  void scrollStepWhileMoving(bool left);
  void scrollWhileDraggingEdge(const QPoint& point, int edge);
  void setScrollBarValue(int value);
  // The progress dialogs and the result viewer: Escape never closes them, a
  // progress dialog keeps its size and closes only when allowed. True when
  // the event was handled; `filtered` is then the filter's answer.
  bool filterJobWindowEvent(QObject* watched, QEvent* event, bool& filtered);
  QWidget* findFocusedChild(QWidget* widget) const;
  void pushSelectionToLayers();
  void setSelectionFromSection(int section);
  ResultCode assignSelectedRangeToSection();
  ResultCode changeSectionWave(const QString& fileName, const QString& awiPath, qint64 frames);
  ResultCode unlinkSectionWave();
  void showCoreFailure(ResultCode code);
  // The ranges of the sections on the shown recording, for the section layer.
  ResultCode rebuildSectionMarkers();

  // Section parameter editing.
  ResultCode applyTimeSignature(int numerator, int denominator);
  ResultCode applySectionBars(int value);
  void trimTextChanged(QLineEdit& field, const QString& text);
  ResultCode commitTrimFields(CASTcore& core);
  ResultCode applyTrimRange(CASTcore& core, double startSeconds, double endSeconds);
  std::uint64_t snapToBeat(std::uint64_t position, const std::vector<std::uint64_t>& beats) const;
  ResultCode applyFade(bool on);
  ResultCode applyBlank(bool on);
  // Sets one on/off field of the current section's record through `store`,
  // then refreshes; an unchanged value does nothing.
  ResultCode applySectionSwitch(std::uint8_t SecInfo::*flag, bool on,
                                ResultCode (CASTcore::*store)(std::uint8_t, const SecInfo&));
  ResultCode applyManualBars(bool on);
  ResultCode applyPickup(int value);
  ResultCode shiftBeatPosition();
  ResultCode unshiftBeatPosition();
  ResultCode doubleBeatResolution(std::uint8_t wave, std::uint16_t& factor);
  ResultCode halveBeatResolution(std::uint8_t wave, std::uint16_t& factor);
  ResultCode changeBeatResolution(std::uint8_t mode, std::uint8_t wave, std::uint16_t& factor);
  void reportBeatResolution(ResultCode code, std::uint16_t factor);
  ResultCode resnapSectionToBeats(CASTcore& core, std::uint8_t section);
  ResultCode rebuildBeatList(CASTcore& core, std::uint8_t section);
  ResultCode rebuildHalfBeatList(CASTcore& core, std::uint8_t wave);
  ResultCode selectWholeWave(bool on);

  // Playback, time stretch and export.
  void scrollToSelection();
  // Follows the play line at pixel column x (0: none).
  void scrollForPlayCursor(int x);
  void startTimeStretch();
  void showTimeStretchProgress(int section);
  void closeTimeStretchProgress();
  // Ends the previous run's thread, waits for it and deletes it and its
  // worker.
  void releaseWorker(QObject*& worker, QThread*& thread);
  // The one text listing every section the export refuses; empty when all
  // pass. Reads the work copy.
  QString exportCheckMessage();
  // The export's preparation job, run on the export thread.
  std::uint64_t prepareExportWaves();
  // The frameless busy dialog of a worker run; returns when it is closed.
  void runJobProgress(ProgressDialog*& slot, const QString& label, const QString& title);
  void closeJobProgress(ProgressDialog*& slot);
  void showExportProgress(const QString& path);
  void closeExportProgress();

  CASTcore mCore;
  CASTcoreWork mCoreWork;
  std::uint8_t mClickOn = 1;
  std::uint8_t mClickOnSaved = 1;
  std::uint8_t mSourceLevel = 100;
  std::uint8_t mClick2On = 1;
  ASTAudition mAudition{&mClickOn, &mSourceLevel, &mClick2On};
  IF_audioFileMngr* mAudioFileMngr = nullptr;
  // The recordings imported in this run, for the export's check.
  ImportedRecordings mImported;
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
  // The rendered section's beats, read by the viewer while it is open.
  std::vector<std::uint64_t> mStretchGrid;
  static const QString kPlayIcon;
  static const QString kStopIcon;
  // The selection start when playback began, and the strip the play line
  // was last painted in.
  int mPlayStart = 0;
  QRect mLocationRect{QPoint(-1, 0), QPoint(-2, -1)};
  // Current range of the section (samples) and whether there is one.
  std::uint64_t mRangeStart = 0;
  std::uint64_t mRangeEnd = 0;
  bool mRangeOn = false;
  int mBeatShiftState = 0;
  // The model as last saved, opened or begun: edits are noticed even after
  // the undo history was cleared.
  AllInfo mSavedModel;
  // Wave view interaction. The anchor and press points use x = -1, y = 0
  // for none; edge mode 3 none, 1 start edge, 0 end edge, 2 whole
  // selection; drag direction 2 none, 0 right, 1 left.
  QPoint mAnchor{-1, 0};
  QPoint mPressPoint{-1, 0};
  QPoint mRightPressPoint{-1, 0};
  std::uint8_t mEdgeMode = 3;
  std::uint8_t mDragDirection = 2;
  Qt::KeyboardModifiers mKeyModifiers;
  bool mKeyDrag = false;
  int mSelStart = 0;
  int mSelEnd = 0;
  bool mSelShown = false;
  bool mFullRepaint = true;
  QSize mPaintedFrameSize;
  std::uint32_t mPaintedZoom = 0;
  double mPaintedScroll = -1.0;
  // What the beat and section layers show (they keep signed positions).
  std::vector<std::int64_t> mGridLines;
  std::vector<TextItem> mRangeItems;
  // Built once by installEventHooks; eventFilter looks the watched object up.
  std::map<QObject*, EventHook> mEventHooks;
};

// Gives every direct child widget of `parent` its own font at `pixelSize`.
void setChildFontSize(QWidget* parent, int pixelSize);
