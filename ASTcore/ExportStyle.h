#pragma once
// The export worker: runs one style export on a thread of its own and
// answers with exactly one signal. It never shows a dialog; the receiver on
// the user-interface thread reads `path`, `written`, `attackOverflow` and
// `stopped` after the signal.

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

class CASTcore;

class ExportStyle : public QObject {
  Q_OBJECT

 public:
  // `job` prepares the export (renders what is not rendered yet); 0 means
  // ready. `core` is the project core to export (not owned).
  ExportStyle(std::function<std::uint64_t()> job, CASTcore* core, const QString& path, void* owner);
  ~ExportStyle() override;

  QString path() const { return outputPath; }
  std::uint64_t written() const { return writtenBytes; }
  std::uint16_t attackOverflow() const { return attackMask; }

  // Asks the export under way to end; callable from any thread. The job is
  // expected to watch stopRequest() and end its rendering early; once the
  // job is over, a stop lets nothing be written. A stopped export answers
  // errorOnPreparation with a non-zero code, and stopped() is then true.
  void requestStop() { stopFlag.store(1); }
  const std::atomic<std::uint8_t>* stopRequest() const { return &stopFlag; }
  bool stopped() const { return endedByStop.load(); }

 signals:
  void errorOnPreparation(unsigned long lErr);
  void done(unsigned long code);

 public slots:
  void doExport();

 private:
  std::function<std::uint64_t()> job;
  CASTcore* core;
  QString outputPath;
  void* owner;
  std::uint64_t writtenBytes = 0;
  std::uint16_t attackMask = 0;
  std::atomic<std::uint8_t> stopFlag{0};
  std::atomic<bool> endedByStop{false};
};
