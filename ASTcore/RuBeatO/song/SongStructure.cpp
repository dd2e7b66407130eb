#include "SongStructure.h"

#include <algorithm>

#include "StructureConsensus.h"
#include "StructureInference.h"

bool inferSongStructure(const MzMir::FeatureMatrix& features, const StructureSettings& s, int rounds,
                        std::vector<int>& countdown, std::vector<int>& labels,
                        const std::function<bool(int round)>& beforeRound) {
  RoundRuns labelRuns, countdownRuns;
  for (int r = 0; r < rounds; ++r) {
    if (beforeRound && !beforeRound(r)) return false;
    if (features.rows() == 0) continue;
    StructureInference model(s.numStates, s.maxDuration, s.numMixtures);
    model.setObservationPriors(s.observationPriors[0], s.observationPriors[1], s.observationPriors[2])
        .setMixtureWeightPrior(s.mixtureWeightPrior)
        .setInferenceParamC(s.paramC)
        .setInferenceParamD(s.paramD);
    model.estimate(features);
    labelRuns.emplace_back(model.getLabels().data(), model.getLabels().data() + model.getLabels().size());
    countdownRuns.emplace_back(model.getCountdown().data(),
                               model.getCountdown().data() + model.getCountdown().size());
  }
  fuseRoundSegmentations(countdown, labels, countdownRuns, labelRuns, s.agreement);
  return true;
}

std::vector<SongSegment> segmentsOfBars(const std::vector<double>& barTimes, const std::vector<std::int32_t>& barTatums,
                                        const std::vector<int>& countdown, const std::vector<int>& labels) {
  std::vector<SongSegment> segments;
  // A bar needs its start time and the time after it.
  const std::size_t bars =
      std::min({labels.size(), countdown.size(), barTatums.size(), barTimes.empty() ? 0 : barTimes.size() - 1});
  if (bars == 0) return segments;
  std::vector<int> perBar;
  relabelSegments(std::vector<int>(countdown.begin(), countdown.begin() + static_cast<long>(bars)), perBar,
                  std::vector<int>(labels.begin(), labels.begin() + static_cast<long>(bars)));

  SongSegment open;
  open.start = open.end = static_cast<float>(barTimes[0]);
  open.barTatum = barTatums[0];
  open.label = perBar[0];
  for (std::size_t p = 1; p < bars; ++p) {
    if (perBar[p] == perBar[p - 1] && countdown[p - 1] != 0) continue;
    open.end = static_cast<float>(barTimes[p]);
    segments.push_back(open);
    open.start = static_cast<float>(barTimes[p]);
    open.barTatum = barTatums[p];
    open.label = perBar[p];
  }
  open.end = static_cast<float>(barTimes.back());
  segments.push_back(open);
  return segments;
}
