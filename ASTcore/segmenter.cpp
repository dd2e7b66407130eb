#include "segmenter.h"

#include <QDebug>

#include "SegmenterWriter.h"
#include "SongAnalyzer.h"
#include "WavSeekerSeq.h"

namespace {

// Denominator code of the analysis for a time-signature denominator.
int denominatorCode(std::int32_t denominator) {
  switch (denominator) {
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    default: return -1;
  }
}

}  // namespace

// Registers the writer of a run so that requestAbort reaches it, and passes
// on a request that came before the run; unregisters it however the run
// ends.
class segmenter::ActiveWriter {
 public:
  ActiveWriter(segmenter& owner, SegmenterWriter& writer) : owner(owner) {
    std::lock_guard<std::mutex> lock(owner.writerMutex);
    owner.activeWriter = &writer;
    if (owner.abortRequest.load()) writer.abort = 1;
  }
  ~ActiveWriter() {
    std::lock_guard<std::mutex> lock(owner.writerMutex);
    owner.activeWriter = nullptr;
  }
  ActiveWriter(const ActiveWriter&) = delete;
  ActiveWriter& operator=(const ActiveWriter&) = delete;

 private:
  segmenter& owner;
};

segmenter::segmenter() : IF_segmenter(nullptr) {}

IF_segmenter* segmenter::create() { return new segmenter(); }

// Clears the abort request however a run ends: a request made before the
// run (a Cancel that came between the worker's own check and the start)
// stops it at once, and a later run starts without one.
class segmenter::RequestClearedAtEnd {
 public:
  explicit RequestClearedAtEnd(segmenter& owner) : owner(owner) {}
  ~RequestClearedAtEnd() { owner.abortRequest = 0; }
  RequestClearedAtEnd(const RequestClearedAtEnd&) = delete;
  RequestClearedAtEnd& operator=(const RequestClearedAtEnd&) = delete;

 private:
  segmenter& owner;
};

ResultCode segmenter::execute(const QString& path, std::uint64_t meter) {
  RequestClearedAtEnd clearAtEnd(*this);
  WavSeekerSeq source(path);
  if (!source.isOpen()) {
    // Analysing an unreadable file would report an empty song as success.
    if (errorText.isEmpty())
      errorText = QString("error at segmenter::execute() cannot read the work copy [%1]")
                      .arg(source.openResult(), 0, 16);
    return Result::fail(1);
  }

  SongAnalyzer analyzer;
  analyzer.setMixtureWeightPrior(0.01)
      .setObservationPriors(1.0, 0.01, 0.01)
      .setFeatureDimension(5)
      .setInferenceParamC(0.1)
      .setInferenceParamD(0.9)
      .setNumStates(20)
      .setNumMixtures(5);

  // The caller's time signature is stored whether or not it is marked as
  // given; only a given one is handed to the analysis.
  numerator = static_cast<std::int32_t>((meter >> 8) & 0xFF);
  denominator = static_cast<std::int32_t>((meter >> 16) & 0xFF);
  if ((meter & 0xFF) == 1)
    analyzer.setMeter(numerator, 0, -1, denominatorCode(denominator));
  else
    analyzer.setMeter(-1, 0, -1, -1);

  SegmenterWriter writer(&numerator, &denominator);
  connect(&writer, &SegmenterWriter::signalProgress, this, &IF_segmenter::thruProgress, Qt::DirectConnection);
  analyzer.setProgress(&writer);
  // The analysis restarts this thread's random sequence itself, so a second
  // run over the same file gives the same segments.
  {
    ActiveWriter active(*this, writer);
    analyzer.analyze(source);
  }

  beatTimes = analyzer.getBeats();
  std::vector<SongSegment> found;
  analyzer.getSegments(found);
  segments.clear();
  segments.reserve(found.size());
  for (const SongSegment& s : found) {
    SegItem item;
    item.slot = SegItem::kNoSlot;
    item.start = s.start;
    item.end = s.end;
    item.label = s.label;
    segments.push_back(item);
  }
  return Result::kOk;
}

void segmenter::getBeats(std::vector<float>& beats, std::int32_t& num, std::int32_t& den) {
  beats.resize(beatTimes.size());
  std::copy(beatTimes.begin(), beatTimes.end(), beats.begin());
  num = numerator;
  den = denominator;
  qDebug().noquote() << QString("number of information = %1 beat = %2 feature = %3 time sig. = %4/%5")
                            .arg(infoList.size())
                            .arg(beatInfoList.size())
                            .arg(featureList.size())
                            .arg(numerator)
                            .arg(denominator);
}

void segmenter::clearError() {
  errorText.clear();
  exceptFlag = 0;
}

void segmenter::requestAbort() {
  abortRequest = 1;
  std::lock_guard<std::mutex> lock(writerMutex);
  if (activeWriter) activeWriter->abort = 1;
}

void segmenter::thruProgress(const unsigned char percent) { emit signalProgress(percent); }
