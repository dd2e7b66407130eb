#include "timeStretch.h"

#include <exception>
#include <new>

#include "AnalysisUtil.h"

IF_timeStretch* timeStretch::create() { return new (std::nothrow) timeStretch(); }

timeStretch::timeStretch() { clearError(); }

timeStretch::~timeStretch() = default;

void timeStretch::clearError() {
  lastErr.clear();
  exceptFlag = 0;
}

ResultCode timeStretch::setParameters(const StretchParams& params) {
  tempo = params.tempo;
  numerator = params.numerator;
  denominator = params.denominator;
  bars = params.bars;
  return Result::kOk;
}

ResultCode timeStretch::loadInput(const std::vector<std::uint8_t>& input, std::uint64_t& frames) {
  frames = input.size() / AnalysisUtil::kBytesPerFrame;
  job.SetFormat(JobWaveFormat());
  job.SetFrameCounts(frames);
  job.SetTempo(static_cast<double>(tempo));
  job.ClearBuffers();
  try {
    for (std::uint64_t i = 0; i < frames; ++i) job.PushSample(&input[i * AnalysisUtil::kBytesPerFrame]);
  } catch (...) {
    job.ClearBuffers();
    exceptFlag = 1;
    lastErr = "time stretch: no memory for the input";
    return Result::fail(1);
  }
  return Result::kOk;
}

ResultCode timeStretch::run(const std::vector<std::uint8_t>& input, std::vector<std::uint8_t>& output) {
  return stretch(input, nullptr, output);
}

ResultCode timeStretch::runWithCuts(const std::vector<std::uint8_t>& input,
                                    const std::vector<std::uint64_t>& cuts,
                                    std::vector<std::uint8_t>& output) {
  return stretch(input, &cuts, output);
}

ResultCode timeStretch::stretch(const std::vector<std::uint8_t>& input, const std::vector<std::uint64_t>* cuts,
                                std::vector<std::uint8_t>& output) {
  std::uint64_t frames = 0;
  regionsMade = false;
  const ResultCode rc = loadInput(input, frames);
  if (Result::failed(rc)) return Result::nest(1, rc);
  job.SetTimeSignature(numerator, denominator);
  try {
    const std::vector<std::uint64_t> cutList = cuts ? *cuts : std::vector<std::uint64_t>{0, frames};
    TimeMachineInput info;
    job.GetBufferInfo(&info);
    StretchRegionList regions;
    job.SetRegions(regions, cutList, bars);
    regionsMade = !regions.empty();
    job.Run(regions, info);
  } catch (const std::exception& e) {
    exceptFlag = 1;
    lastErr = QString("time stretch failed: %1").arg(e.what());
    return Result::fail(2);
  } catch (...) {
    exceptFlag = 1;
    lastErr = "time stretch failed";
    return Result::fail(2);
  }
  const std::uint64_t produced = job.OutputFrames();
  if (produced == 0) return Result::fail(3);
  try {
    output.clear();
    output.reserve(produced * AnalysisUtil::kBytesPerFrame);
    for (std::uint64_t i = 0; i < produced; ++i) {
      for (int channel = 0; channel < 2; ++channel) {
        const auto v = static_cast<std::uint16_t>(job.GetOutputSample(channel, static_cast<std::int64_t>(i)));
        output.push_back(static_cast<std::uint8_t>(v & 0xFF));
        output.push_back(static_cast<std::uint8_t>(v >> 8));
      }
    }
  } catch (...) {
    output.clear();
    exceptFlag = 1;
    lastErr = "time stretch: no memory for the output";
    return Result::fail(4);
  }
  return Result::kOk;
}

ResultCode timeStretch::getRatios(std::uint8_t* outOfRange, std::vector<double>& ratios) {
  try {
    if (!regionsMade) {
      if (outOfRange) *outOfRange = 0;
      ratios.clear();
      return Result::kOk;
    }
    job.GetRatios(outOfRange, ratios);
  } catch (...) {
    exceptFlag = 1;
    return Result::fail(1);
  }
  return Result::kOk;
}
