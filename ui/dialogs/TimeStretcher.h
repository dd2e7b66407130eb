#pragma once
// The worker that renders one section, stretched to the project tempo, into
// the section's working wave and measures the result, away from the user
// interface's thread. It answers every run with exactly one done(); the
// owner reads the path, indices, sample count and grid only after that.

#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

class ASTAudition;
class CASTcore;

class TimeStretcher : public QObject {
  Q_OBJECT

 public:
  // `core` and `audition` are the owner's and must stay untouched by it
  // while the run goes on; `path` is the section's working wave, which the
  // rendering writes.
  TimeStretcher(CASTcore* core, ASTAudition* audition, const QString& path, std::uint32_t section,
                std::uint32_t wave, QObject* owner);
  ~TimeStretcher() override;

  const QString& path() const { return mPath; }
  std::uint32_t section() const { return mSection; }
  std::uint32_t wave() const { return mWave; }
  // Frames of the rendered file; 0 until a run measured it.
  std::uint64_t sampleCount() const { return mSampleCount; }
  // Beat positions over the rendered file: numerator x bars even steps from
  // 0, closed by the last frame.
  const std::vector<std::uint64_t>& gridList() const { return mGridList; }
  const QString& errorText() const { return mErrorText; }

 signals:
  void done(unsigned long lErr, QString errorStr);

 public slots:
  void doTimeStretch();

 private:
  // Records the text and answers with it.
  void fail(unsigned long code, const QString& text);

  CASTcore* mCore;
  ASTAudition* mAudition;
  QString mPath;
  std::uint32_t mSection;
  std::uint32_t mWave;
  std::uint64_t mSampleCount = 0;
  QString mErrorText;
  QObject* mOwner;
  std::vector<std::uint64_t> mGridList;
};
