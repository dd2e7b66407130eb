#pragma once
// The export worker: runs one style export on a thread of its own and
// answers with exactly one signal. It never shows a dialog; the receiver on
// the user-interface thread reads `path`, `written` and `attackOverflow`
// after the signal.

#include <QObject>
#include <QString>

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
};
