// Our files against an independent Standard MIDI File implementation: the
// midicsv/csvmidi pair decodes what we write and encodes what we read.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "CSmf.h"
#include "SmfBytes.h"
#include "TempDir.h"

using namespace SmfBytes;

namespace {

bool WriteFile(const QString& path, const Bytes& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  return f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
         static_cast<qint64>(bytes.size());
}

Bytes ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray all = f.readAll();
  return Bytes(all.begin(), all.end());
}

// Runs a tool of the midicsv package; its standard output, or a failure.
::testing::AssertionResult RunTool(const QString& tool, const QStringList& args, QString* output) {
  const QString exe = QStandardPaths::findExecutable(tool);
  if (exe.isEmpty()) return ::testing::AssertionFailure() << tool.toStdString() << " is not installed (scripts/setup)";
  QProcess p;
  p.start(exe, args);
  if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    return ::testing::AssertionFailure() << tool.toStdString() << " failed: "
                                         << p.readAllStandardError().toStdString();
  }
  if (output) *output = QString::fromUtf8(p.readAllStandardOutput());
  return ::testing::AssertionSuccess();
}

QStringList CsvLines(const QString& csv) {
  QStringList out;
  for (QString line : csv.split('\n', Qt::SkipEmptyParts)) out << line.remove(' ').trimmed();
  return out;
}

}  // namespace

TEST(MidicsvCrossCheck, AnIndependentReaderDecodesWhatWeWrite) {
  CSmf smf;
  CHead head;
  head.format = 1;
  head.division = 480;
  smf.SetHeader(head);
  auto* conductor = new CTrk;
  conductor->AppendEvent(MetaEvent(0, 0x51, Of({0x07, 0xA1, 0x20})));
  conductor->AppendEvent(MetaEvent(0, 0x58, Of({3, 2, 24, 8})));
  conductor->AppendEvent(MetaEvent(0, 0x06, Text("SFF2")));
  conductor->AppendEvent(MetaEvent(0, 0x2F, {}));
  auto* music = new CTrk;
  auto* sysex = new CEvnt;
  const Bytes sx = Of({0x7E, 0x7F, 0x09, 0x01, 0xF7});
  sysex->SetStatus(0xF0);
  sysex->SetExData(sx.data(), sx.size());
  music->AppendEvent(sysex);
  music->AppendEvent(ChannelEvent(0, 0xC0, 2, 33));
  music->AppendEvent(ChannelEvent(0, 0x90, 2, 40, 100));
  music->AppendEvent(ChannelEvent(240, 0x90, 2, 40, 0));      // running status
  music->AppendEvent(ChannelEvent(240, 0x90, 2, 43, 90));     // running status, delta 0
  music->AppendEvent(ChannelEvent(200000, 0x80, 2, 43, 64));  // three-byte delta
  music->AppendEvent(ChannelEvent(200000, 0xE0, 2, 0, 0x40));
  music->AppendEvent(MetaEvent(200000, 0x2F, {}));
  smf.AddTrack(conductor);
  smf.AddTrack(music);

  Bytes bytes;
  ASSERT_EQ(smf.Serialize(bytes), 0u);
  const QString mid = TestEnv::tempPath("ours.mid");
  ASSERT_TRUE(WriteFile(mid, bytes));
  QString csv;
  ASSERT_TRUE(RunTool("midicsv", {mid}, &csv));

  EXPECT_EQ(CsvLines(csv),
            (QStringList{"0,0,Header,1,2,480",
                         "1,0,Start_track",
                         "1,0,Tempo,500000",
                         "1,0,Time_signature,3,2,24,8",
                         "1,0,Marker_t,\"SFF2\"",
                         "1,0,End_track",
                         "2,0,Start_track",
                         "2,0,System_exclusive,5,126,127,9,1,247",
                         "2,0,Program_c,2,33",
                         "2,0,Note_on_c,2,40,100",
                         "2,240,Note_on_c,2,40,0",
                         "2,240,Note_on_c,2,43,90",
                         "2,200000,Note_off_c,2,43,64",
                         "2,200000,Pitch_bend_c,2,8192",
                         "2,200000,End_track",
                         "0,0,End_of_file"}));
}

TEST(MidicsvCrossCheck, WeReadWhatAnIndependentWriterEncodes) {
  const QString csvPath = TestEnv::tempPath("theirs.csv");
  const QString mid = TestEnv::tempPath("theirs.mid");
  const QByteArray csv =
      "0, 0, Header, 0, 1, 96\n"
      "1, 0, Start_track\n"
      "1, 0, Title_t, \"Drums\"\n"
      "1, 0, Control_c, 9, 7, 100\n"
      "1, 0, Note_on_c, 9, 36, 127\n"
      "1, 48, Note_on_c, 9, 36, 0\n"
      "1, 48, Note_on_c, 9, 38, 100\n"
      "1, 96, Note_off_c, 9, 38, 0\n"
      "1, 100, Marker_t, \"Main A\"\n"
      "1, 100, End_track\n"
      "0, 0, End_of_file\n";
  {
    QFile f(csvPath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(csv);
  }
  ASSERT_TRUE(RunTool("csvmidi", {csvPath, mid}, nullptr));
  CSmf smf;
  ASSERT_EQ(smf.Load(ReadFile(mid)), 0u);
  EXPECT_EQ(smf.GetHeader().division, 96);
  ASSERT_EQ(smf.GetTracks().size(), 1u);
  EXPECT_EQ(Views(*smf.GetTrack(0)),
            (std::vector<EventView>{{0, 0xFF, 0, 0x03, 0, 0, Text("Drums")},
                                    {0, 0xB0, 9, 0, 7, 100, {}},
                                    {0, 0x90, 9, 0, 36, 127, {}},
                                    {48, 0x90, 9, 0, 36, 0, {}},
                                    {48, 0x90, 9, 0, 38, 100, {}},
                                    {96, 0x80, 9, 0, 38, 0, {}},
                                    {100, 0xFF, 0, 0x06, 0, 0, Text("Main A")},
                                    {100, 0xFF, 0, 0x2F, 0, 0, {}}}));
  // And what we read we write back to bytes the other side decodes alike.
  Bytes again;
  ASSERT_EQ(smf.Serialize(again), 0u);
  const QString back = TestEnv::tempPath("back.mid");
  ASSERT_TRUE(WriteFile(back, again));
  QString theirs, ours;
  ASSERT_TRUE(RunTool("midicsv", {mid}, &theirs));
  ASSERT_TRUE(RunTool("midicsv", {back}, &ours));
  EXPECT_EQ(CsvLines(ours), CsvLines(theirs));
}
