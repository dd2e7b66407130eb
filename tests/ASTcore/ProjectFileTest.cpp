#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "CASTcore.h"
#include "FileSizeLimit.h"
#include "ProjectFileCodec.h"
#include "TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t be32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

Bytes readAll(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  const QByteArray data = f.readAll();
  return Bytes(data.begin(), data.end());
}

void writeAll(const QString& path, const Bytes& bytes, std::size_t length) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(length)),
            static_cast<qint64>(length));
}

WavInfo* analysedWave(const std::wstring& name, int beats) {
  auto* w = new WavInfo;
  w->fileName = name;
  for (int k = 0; k < 2 * beats; ++k) w->beatTime.push_back(0.25f * k);
  w->onsetTime = {0.0f, 0.13f, 0.61f, 0.25f * 2 * beats};
  w->barLen = 2.0f;
  w->beatDiv = 1;
  w->segLblOrg = {{0.0f, 1}, {4.0f, 2}, {8.0f, 1}};
  w->segLbl = {{0.0f, 1}, {8.0f, 1}};
  return w;
}

SecInfo sectionWithBars(std::uint8_t wavNo, std::uint16_t bars) {
  SecInfo s;
  s.used = 1;
  s.wavNo = wavNo;
  s.startAdrs = 44100;
  s.startOfs = -250;
  s.endAdrs = 44100 * 9;
  s.endOfs = -3;
  s.fadeSw = 1;
  s.pickupSw = 1;
  s.pickupNum = 2;
  s.pickupOfs = -77;
  s.halfBeat = 1;
  s.manualBar = 1;
  s.setAreaCount(bars);
  for (int k = 0; k + 1 < bars; ++k) {
    s.barAdrs[k] = 44100u * (k + 2);
    s.barOfs[k] = -(k + 1) * 10;
  }
  return s;
}

// A project with three waves and sections of 0, 1 and 4 bars.
void fillProject(CASTcore& core) {
  ASSERT_EQ(core.addWavList(analysedWave(L"/music/one.wav", 16)), 0u);
  ASSERT_EQ(core.addWavList(analysedWave(L"/music/Zwei Lieder/zwei \u00fcber.aiff", 12)), 0u);
  ASSERT_EQ(core.addWavList(analysedWave(L"/music/three.wav", 20)), 0u);
  ASSERT_EQ(core.updateSecInfo(0, sectionWithBars(0, 0)), 0u);
  ASSERT_EQ(core.updateSecInfo(3, sectionWithBars(1, 1)), 0u);
  ASSERT_EQ(core.updateSecInfo(4, sectionWithBars(2, 4)), 0u);
  ComnInfo c = core.getCommonInfo();
  c.volume = 101;
  c.pan = 3;
  c.revSend = 40;
  c.tempo = 133;
  c.timeSigNum = 6;
  c.timeSigDen = 8;
  c.normDepth = 70;
  c.normSw = 1;
  ASSERT_EQ(core.setCommonInfo(c), 0u);
}

void expectSameModel(const AllInfo& a, const AllInfo& b) {
  ASSERT_EQ(a.wavCount(), b.wavCount());
  for (std::size_t i = 0; i < a.wavCount(); ++i) EXPECT_EQ(*a.waves()[i], *b.waves()[i]) << "wave " << i;
  for (std::uint8_t slot = 0; slot < 15; ++slot) {
    const SecInfo* x = nullptr;
    const SecInfo* y = nullptr;
    a.getSecInfo(slot, &x);
    b.getSecInfo(slot, &y);
    EXPECT_EQ(*x, *y) << "slot " << int(slot);
  }
  const ComnInfo* x = nullptr;
  const ComnInfo* y = nullptr;
  a.getComnInfo(&x);
  b.getComnInfo(&y);
  EXPECT_EQ(*x, *y);
}

}  // namespace

TEST(ProjectFile, EmptyProjectIsThe615ByteLayout) {
  CASTcore core;
  const QString path = TestEnv::tempPath("empty.qmproj");
  ASSERT_EQ(core.saveProject(path.toStdWString()), 0u);
  const Bytes b = readAll(path);
  ASSERT_EQ(b.size(), 615u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "ASTPT012");
  EXPECT_EQ(be32(b, 8), 32u);
  EXPECT_EQ(be32(b, 12), 1u);    // wave block: the count byte 0
  EXPECT_EQ(be32(b, 16), 33u);
  EXPECT_EQ(be32(b, 20), 571u);  // 121 + 15 * 30
  EXPECT_EQ(be32(b, 24), 604u);
  EXPECT_EQ(be32(b, 28), 11u);
  EXPECT_EQ(b[32], 0);
  EXPECT_EQ(b[33], 15);
  EXPECT_EQ(be32(b, 34), 121u);
  EXPECT_EQ(be32(b, 38), 30u);
  EXPECT_EQ(be32(b, 33 + 1 + 8 * 14), 121u + 14 * 30);
  EXPECT_EQ(b[33 + 121 + 1], 255) << "an empty slot has no wave";
  const Bytes common(b.begin() + 604, b.end());
  EXPECT_EQ(common, (Bytes{80, 64, 0, 0, 0, 0, 120, 4, 4, 50, 0}));
}

TEST(ProjectFile, SaveAndReopenKeepsEveryField) {
  CASTcore core;
  fillProject(core);
  const QString path = TestEnv::tempPath("full.qmproj");
  ASSERT_EQ(core.saveProject(path.toStdWString()), 0u);
  EXPECT_FALSE(core.isModified());

  CASTcore reopened;
  reopened.addWavList(analysedWave(L"stale.wav", 2));
  ASSERT_EQ(reopened.openProject(path.toStdWString()), 0u);
  expectSameModel(core.getAllInfo(), reopened.getAllInfo());
  EXPECT_FALSE(reopened.canUndo());
  EXPECT_FALSE(reopened.isModified());

  // A section of 4 bars takes 54 bytes, 0 or 1 bar 30.
  EXPECT_EQ(ProjectFileCodec::sectionRecord(sectionWithBars(0, 4), false).size(), 54u);
  EXPECT_EQ(ProjectFileCodec::sectionRecord(sectionWithBars(0, 1), false).size(), 30u);
  EXPECT_EQ(ProjectFileCodec::sectionRecord(sectionWithBars(0, 0), false).size(), 30u);
}

TEST(ProjectFile, AddressesAndTempoAreStoredIn32Bits) {
  CASTcore core;
  core.addWavList(analysedWave(L"a.wav", 4));
  SecInfo s = sectionWithBars(0, 2);
  s.startAdrs = 0x1'0000'0005ull;
  core.updateSecInfo(1, s);
  const QString path = TestEnv::tempPath("wide.qmproj");
  ASSERT_EQ(core.saveProject(path.toStdWString()), 0u);
  CASTcore reopened;
  ASSERT_EQ(reopened.openProject(path.toStdWString()), 0u);
  const SecInfo* r = nullptr;
  reopened.getAllInfo().getSecInfo(1, &r);
  EXPECT_EQ(r->startAdrs, 5u);
  EXPECT_EQ(r->barOfs[0], -10) << "offsets come back sign-extended";
}

TEST(ProjectFile, EveryTruncationFailsAndLeavesTheModelAlone) {
  CASTcore source;
  fillProject(source);
  const QString good = TestEnv::tempPath("good.qmproj");
  ASSERT_EQ(source.saveProject(good.toStdWString()), 0u);
  const Bytes bytes = readAll(good);

  CASTcore target;
  target.addWavList(analysedWave(L"mine.wav", 8));
  target.setVolume(12);
  AllInfo before;
  before.assign(target.getAllInfo());
  const int steps = target.undoCount();
  const QString cut = TestEnv::tempPath("cut.qmproj");
  for (std::size_t length = 0; length < bytes.size(); ++length) {
    writeAll(cut, bytes, length);
    const ResultCode rc = target.openProject(cut.toStdWString());
    ASSERT_TRUE(Result::failed(rc)) << "accepted a file cut at " << length;
  }
  expectSameModel(before, target.getAllInfo());
  EXPECT_EQ(target.undoCount(), steps) << "a failed open keeps the history";
  EXPECT_TRUE(target.canUndo());
}

TEST(ProjectFile, ValuesOutsideTheirRangesAreRefused) {
  using namespace ProjectFileCodec;
  const std::array<const SecInfo*, 15> noSections = [] {
    static SecInfo empty;
    std::array<const SecInfo*, 15> a{};
    a.fill(&empty);
    return a;
  }();
  const Bytes sections = sectionsBlock(noSections, false);
  const QString path = TestEnv::tempPath("bad.qmproj");
  CASTcore core;

  auto refusedWithCommon = [&](ComnInfo c) {
    const Bytes file = assembleFile(Kind::Project, projectWaveBlock({}), sections, commonBlock(c));
    writeAll(path, file, file.size());
    return core.openProject(path.toStdWString());
  };
  ComnInfo zeroTempo;
  zeroTempo.tempo = 0;
  EXPECT_EQ(refusedWithCommon(zeroTempo) & 0xFFFFFFFFF, Result::nest(6, Result::nest(11, Result::fail(5))) & 0xFFFFFFFFF);
  ComnInfo badDen;
  badDen.timeSigDen = 3;
  EXPECT_TRUE(Result::failed(refusedWithCommon(badDen)));
  ComnInfo loud;
  loud.volume = 200;
  EXPECT_TRUE(Result::failed(refusedWithCommon(loud)));
  EXPECT_EQ(core.getCommonInfo(), ComnInfo());

  WavInfo stalled;
  stalled.beatDiv = 0;
  const Bytes file = assembleFile(Kind::Project, projectWaveBlock({&stalled}), sections, commonBlock(ComnInfo()));
  writeAll(path, file, file.size());
  EXPECT_TRUE(Result::failed(core.openProject(path.toStdWString())));
  EXPECT_EQ(core.waveCount(), 0u);

  WavInfo parsed;
  EXPECT_EQ(parseWaveRecord(waveRecord(stalled, false).data(), waveRecord(stalled, false).size(), parsed),
            0x8000000Eu);
}

TEST(ProjectFile, WaveRecordChecksEveryCount) {
  using namespace ProjectFileCodec;
  WavInfo w;
  w.fileName = L"name.wav";
  w.segLblOrg = {{1.0f, 1}, {2.0f, 2}};
  Bytes record = waveRecord(w, false);
  WavInfo out;
  ASSERT_EQ(parseWaveRecord(record.data(), record.size(), out), 0u);
  EXPECT_EQ(out, w);

  // Promise a third segment that is not there.
  const std::size_t segCount = 4 + 8 + 4 + 4 + 4 + 2;
  ASSERT_EQ(be32(record, segCount), 2u);
  record[segCount + 3] = 3;
  EXPECT_EQ(parseWaveRecord(record.data(), record.size(), out), 0x8000000Fu);

  Bytes huge = waveRecord(w, false);
  huge[4 + 8] = 0x7F;  // beat count 2^30 + ...: must not allocate
  EXPECT_EQ(parseWaveRecord(huge.data(), huge.size(), out), 0x80000006u);

  Bytes zeroInName = waveRecord(w, false);
  zeroInName[4 + 4] = 0;  // "name\0wav"
  ASSERT_EQ(parseWaveRecord(zeroInName.data(), zeroInName.size(), out), 0u);
  EXPECT_EQ(out.fileName, L"name");
}

TEST(AnalysedWaveFile, IntoTheFirstSlotReplacesSectionsAndCommonRecord) {
  CASTcore writer;
  writer.addWavList(analysedWave(L"/elsewhere/song.wav", 16));
  writer.updateSecInfo(3, sectionWithBars(0, 4));
  writer.updateTempo(99);
  QDir().mkpath(TestEnv::tempPath("lib"));
  const QString awi = TestEnv::tempPath("lib/song.awi");
  ASSERT_EQ(writer.saveAwi(awi.toStdWString(), 0), 0u);
  const Bytes bytes = readAll(awi);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "AWI ");
  EXPECT_EQ(bytes[32], 1);
  EXPECT_EQ(be32(bytes, 33), 9u) << "one wave: its record starts at 9";

  CASTcore core;
  auto* record = new WavInfo;
  const std::uint64_t length = 44100 * 9;
  ASSERT_EQ(core.addAnalyzedFile(record, awi, length), 0u);
  ASSERT_EQ(core.waveCount(), 1u);
  WavInfo* w = nullptr;
  core.getWaveInfo(0, &w);
  EXPECT_EQ(QString::fromStdWString(w->fileName), QFileInfo(awi).absolutePath() + "/song.wav");
  EXPECT_EQ(w->beatTime.size(), 32u);
  EXPECT_EQ(core.getCommonInfo().tempo, 99u);
  const SecInfo* s = nullptr;
  core.getAllInfo().getSecInfo(3, &s);
  EXPECT_EQ(s->barNum, 4);
  EXPECT_EQ(s->wavNo, 0);
  EXPECT_EQ(core.undoCount(), 1) << "one step for the whole import";

  // A second analysed wave lands in slot 1 and touches nothing else.
  writer.updateTempo(70);
  writer.updateSecInfo(3, sectionWithBars(0, 1));
  const QString second = TestEnv::tempPath("lib/other.awi");
  ASSERT_EQ(writer.saveAwi(second.toStdWString(), 0), 0u);
  ASSERT_EQ(core.addAnalyzedFile(new WavInfo, second, length), 0u);
  EXPECT_EQ(core.waveCount(), 2u);
  EXPECT_EQ(core.getCommonInfo().tempo, 99u);
  core.getAllInfo().getSecInfo(3, &s);
  EXPECT_EQ(s->barNum, 4);
}

TEST(AnalysedWaveFile, BeatsBeyondTheAudioAreRefused) {
  CASTcore writer;
  writer.addWavList(analysedWave(L"song.wav", 16));  // beats up to 7.75 s
  const QString awi = TestEnv::tempPath("song.awi");
  ASSERT_EQ(writer.saveAwi(awi.toStdWString(), 0), 0u);

  CASTcore core;
  auto record = std::make_unique<WavInfo>();
  EXPECT_EQ(core.addAnalyzedFile(record.get(), awi, 44100 * 5), 0x80000006u);
  EXPECT_EQ(core.lastError, "Illegal analyzed file!");
  EXPECT_EQ(core.waveCount(), 0u);
  EXPECT_FALSE(core.canUndo());
  record->fileName = L"still mine";  // the record was handed back, not destroyed

  core.clearLastError();
  EXPECT_TRUE(Result::failed(core.addAnalyzedFile(record.get(), TestEnv::tempPath("none.awi"), 44100 * 60)));
  EXPECT_EQ(core.waveCount(), 0u);
}

TEST(AnalysedWaveFile, RewritingReplacesTheOldFileOnlyWhenComplete) {
  CASTcore core;
  core.addWavList(analysedWave(L"song.wav", 16));
  const QString awi = TestEnv::tempPath("rewrite.awi");
  ASSERT_EQ(core.saveAwi(awi.toStdWString(), 0), 0u);
  const Bytes first = readAll(awi);
  const QString project = TestEnv::tempPath("rewrite.qmproj");
  ASSERT_EQ(core.saveProject(project.toStdWString()), 0u);
  const Bytes firstProject = readAll(project);

  core.addWavList(analysedWave(L"another.wav", 400));
  {
    // Files above this size cannot be written while the limit holds (it
    // applies to root too, unlike file permissions).
    FileSizeLimit limit(700);
    EXPECT_TRUE(limit.holds());
    EXPECT_TRUE(Result::failed(core.saveProject(project.toStdWString())));
    EXPECT_TRUE(core.isModified()) << "a failed save keeps the project modified";
    EXPECT_TRUE(core.lastError.startsWith("Cannot write \"" + project + "\"")) << core.lastError.toStdString();
    core.clearLastError();
    EXPECT_TRUE(Result::failed(core.saveAwi(awi.toStdWString(), 1)));
    EXPECT_TRUE(core.lastError.contains(awi)) << core.lastError.toStdString();
  }
  EXPECT_EQ(readAll(project), firstProject);
  EXPECT_EQ(readAll(awi), first);
  const QStringList leftovers = QDir(TestEnv::tempDir()).entryList({"rewrite.*"}, QDir::Files);
  EXPECT_EQ(leftovers.size(), 2) << "no temporary files remain: " << leftovers.join(", ").toStdString();
}
