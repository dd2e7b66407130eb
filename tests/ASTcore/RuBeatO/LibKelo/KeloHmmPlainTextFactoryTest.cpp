// Loading chord/key models from the built-in texts and from a model folder
// written to disk: the same texts give the same decoder, every missing,
// malformed or short text and every chordlist that does not define its
// classes is reported, and the weights reaching the decoder are exactly the
// positive counts plus the stand-in for an empty diagonal.

#include <gtest/gtest.h>

#include <QDir>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <tuple>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>

#include "KeloHmmPlainTextFactory.h"
#include "KeloModelMap.h"
#include "KeloPlainTextFileStreamReader.h"
#include "KeloPlainTextResourceStreamReader.h"
#include "OfflineHmm.h"
#include "TempDir.h"

namespace {

using namespace kelo;

void makeOffline(boost::shared_ptr<IKeloHmm>& out, std::uint32_t classes, std::uint32_t beats, void*) {
  out = boost::make_shared<OfflineHmm>(std::int32_t(classes), std::int32_t(beats));
}

// Records what the factory hands a decoder.
struct RecordingDecoder : IKeloHmm {
  std::int32_t setEmission(std::int32_t, boost::shared_ptr<JointHpcpPowPdf> pdf) override {
    pdfs.push_back(pdf);
    return 0;
  }
  std::int32_t setTransition(std::int32_t m, std::int32_t k, std::int32_t from, std::int32_t to, double w) override {
    weights.emplace_back(m, k, from, to, w);
    return 0;
  }
  std::int32_t clearFeatures() override { return 0; }
  std::vector<boost::shared_ptr<JointHpcpPowPdf>> pdfs;
  std::vector<std::tuple<int, int, int, int, double>> weights;
};

void makeRecording(boost::shared_ptr<IKeloHmm>& out, std::uint32_t, std::uint32_t, void*) {
  out = boost::make_shared<RecordingDecoder>();
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// The built-in texts as a model folder.
std::string writeBuiltinFolder() {
  const std::string folder = TestEnv::tempPath("model").toStdString();
  QDir().mkpath(QString::fromStdString(folder + "/Mixture"));
  const KeloModelMap& map = initModelResources();
  writeFile(makeModelPath(folder, "chordlist", "txt"), map.chordListText);
  for (const auto& t : map.transitionTexts) writeFile(makeModelPath(folder, t.first, "txt"), t.second);
  for (const auto& e : map.emissionTexts) writeFile(makeModelPath(folder, "Mixture", e.first, "Mixture"), e.second);
  return folder;
}

struct Loaded {
  std::unique_ptr<KeloHmm> model;
  std::uint32_t code;
  std::int32_t featureKind = -1;
};

Loaded load(IKeloPlainTextStreamReader& reader, std::uint32_t beats,
            KeloHmmPlainTextFactory::DecoderMaker maker = makeOffline) {
  KeloHmmPlainTextFactory factory(&reader, maker, nullptr);
  Loaded l;
  l.model.reset(factory.create(l.featureKind, true, 0, beats));
  l.code = factory.lastError();
  return l;
}

double decodeRandom(KeloHmm& model, unsigned seed, std::int32_t& mode, std::int32_t& tonic) {
  auto hmm = boost::dynamic_pointer_cast<OfflineHmm>(model.decoder());
  EXPECT_TRUE(hmm);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int t = 0; t < 12; ++t) {
    OfflineHmm::Vector f(26);
    for (auto& v : f) v = u(rng);
    hmm->addFeature(f);
  }
  const double score = hmm->decode();
  std::int32_t phase;
  hmm->getChosen(mode, phase, tonic);
  return score;
}

}  // namespace

TEST(KeloHmmPlainTextFactory, BuiltInModelLoadsForTwoThreeAndFourBeats) {
  for (std::uint32_t beats : {2u, 3u, 4u}) {
    KeloPlainTextResourceStreamReader reader;
    Loaded l = load(reader, beats);
    EXPECT_EQ(l.code, 0u) << beats;
    EXPECT_EQ(l.featureKind, 4);
    EXPECT_EQ(l.model->classCount(), 7u);
    EXPECT_EQ(l.model->beatCount(), beats);
    EXPECT_EQ(l.model->chordTypeOf(0), 17);
    EXPECT_EQ(l.model->chordTypeOf(6), 10);
    std::int32_t mode, tonic;
    EXPECT_TRUE(std::isfinite(decodeRandom(*l.model, beats, mode, tonic)));
  }
  KeloPlainTextResourceStreamReader reader;
  EXPECT_EQ(load(reader, 5).code, 1u) << "no tables for five beats";
}

TEST(KeloHmmPlainTextFactory, ModelFolderOfTheBuiltInTextsDecodesAlike) {
  const std::string folder = writeBuiltinFolder();
  KeloPlainTextFileStreamReader files(folder, "Mixture");
  KeloPlainTextResourceStreamReader builtin;
  Loaded fromFiles = load(files, 3), fromBuiltin = load(builtin, 3);
  ASSERT_EQ(fromFiles.code, 0u);
  ASSERT_EQ(fromBuiltin.code, 0u);
  std::int32_t m1, t1, m2, t2;
  EXPECT_EQ(decodeRandom(*fromFiles.model, 9, m1, t1), decodeRandom(*fromBuiltin.model, 9, m2, t2));
  EXPECT_EQ(m1, m2);
  EXPECT_EQ(t1, t2);
}

TEST(KeloHmmPlainTextFactory, MissingMalformedAndShortTextsAreReported) {
  const std::string folder = writeBuiltinFolder();
  const KeloModelMap& map = initModelResources();
  const auto expectCode = [&](std::uint32_t code, bool decoder, const char* what) {
    KeloPlainTextFileStreamReader files(folder, "Mixture");
    Loaded l = load(files, 2);
    EXPECT_EQ(l.code, code) << what;
    EXPECT_EQ(bool(l.model->decoder()), decoder) << what;
  };
  const std::string emission = makeModelPath(folder, "Mixture", "8", "Mixture");
  const std::string table = makeModelPath(folder, "transition.minor.2.1", "txt");
  const std::string list = makeModelPath(folder, "chordlist", "txt");

  std::remove(emission.c_str());
  expectCode(1, false, "missing emission");
  writeFile(emission, map.emissionTexts.at("8").substr(0, map.emissionTexts.at("8").size() / 2));
  expectCode(1, false, "emission cut in half");
  writeFile(emission, "[1](1)\n10 -6.17\n[5](1,0,0,0,0)\n[1](1)\n10 -6.17\n[5](1,0,0,0,0)");
  expectCode(1, false, "means of five values");
  writeFile(emission, map.emissionTexts.at("8"));

  const std::string full = map.transitionTexts.at("transition.minor.2.1");
  writeFile(table, full.substr(0, full.rfind(' ')));
  expectCode(1, true, "table one count short");
  writeFile(table, full);
  expectCode(0, true, "restored");

  for (const char* text : {"17 0\n2 1\n7 1", "17 0\n2 7", "17 0\n2 -1", "", "17 0\nseven 1", "-1 0"}) {
    writeFile(list, text);
    expectCode(6, false, text);
  }
  std::remove(list.c_str());
  KeloPlainTextFileStreamReader files(folder, "Mixture");
  Loaded l = load(files, 2);
  EXPECT_EQ(l.code, 1u);
  EXPECT_EQ(l.model->classCount(), 0u);
}

TEST(KeloHmmPlainTextFactory, DecoderGetsPositiveCountsAndAStandInForEmptyDiagonals) {
  const std::string folder = TestEnv::tempPath("one").toStdString();
  QDir().mkpath(QString::fromStdString(folder + "/Mixture"));
  writeFile(makeModelPath(folder, "chordlist", "txt"), "0 0");
  writeFile(makeModelPath(folder, "Mixture", "0", "Mixture"), initModelResources().emissionTexts.at("0"));
  // Row r: a count of r + 1 to state (r + 1) mod 12, the diagonal empty on
  // even rows, everything else 0 or negative.
  std::ostringstream table;
  for (int r = 0; r < 12; ++r) {
    for (int c = 0; c < 12; ++c) {
      if (c > 0) table << ' ';
      table << (c == (r + 1) % 12 ? r + 1 : c == r ? (r % 2 ? 7 : 0) : -(c % 2));
    }
    if (r < 11) table << '\n';
  }
  for (const char* mode : {"major", "minor"})
    writeFile(makeModelPath(folder, std::string("transition.") + mode + ".1.0", "txt"), table.str());
  KeloPlainTextFileStreamReader files(folder, "Mixture");
  Loaded l = load(files, 1, makeRecording);
  ASSERT_EQ(l.code, 0u);
  auto decoder = boost::dynamic_pointer_cast<RecordingDecoder>(l.model->decoder());
  ASSERT_TRUE(decoder);
  ASSERT_EQ(decoder->pdfs.size(), 1u);
  std::vector<std::tuple<int, int, int, int, double>> expected;
  for (int m = 0; m < 2; ++m)
    for (int r = 0; r < 12; ++r)
      for (int c = 0; c < 12; ++c) {
        if (c == (r + 1) % 12) expected.emplace_back(m, 0, r, c, double(r + 1));
        if (c == r) expected.emplace_back(m, 0, r, r, r % 2 ? 7.0 : 0.01);
      }
  EXPECT_EQ(decoder->weights, expected);
}

TEST(KeloPlainTextReaders, ResourceStreamsStartAtTheRequestedTextAndPathsConcatenate) {
  KeloPlainTextResourceStreamReader reader;
  const KeloModelMap& map = initModelResources();
  std::istream& first = reader.openEmission("17");
  std::string token;
  first >> token;  // a consumer that stops early
  std::istream& second = reader.openEmission("maj");
  EXPECT_EQ(&first, &second);
  std::string all((std::istreambuf_iterator<char>(second)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all, map.emissionTexts.at("maj"));
  EXPECT_TRUE(reader.openEmission("3").bad());
  EXPECT_TRUE(reader.openTransition(0, 0, 5).bad());
  std::istream& minor = reader.openTransition(5, 1, 2);
  std::string minorText((std::istreambuf_iterator<char>(minor)), std::istreambuf_iterator<char>());
  EXPECT_EQ(minorText, map.transitionTexts.at("transition.minor.2.1"));

  EXPECT_EQ(makeModelPath("a/", "b", "c"), "a//b.c");
  EXPECT_EQ(makeModelPath("m", "Mixture", "17", "Mixture"), "m/Mixture/17.Mixture");
  KeloPlainTextFileStreamReader files(TestEnv::tempPath("nothing").toStdString(), "Mixture");
  EXPECT_TRUE(files.openChordList().fail());
}
