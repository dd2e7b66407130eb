#include <gtest/gtest.h>

#include <QFile>

#include <memory>
#include <string>
#include <vector>

#include "AudioTestSupport.h"
#include "CAudioWaveData.h"
#include "FileHelpers.h"
#include "TempDir.h"
#include "TestAudio.h"
#include "WavFileReader.h"

using namespace AudioTest;

namespace {

Bytes Pattern(std::size_t n, int seed = 3) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i * 37 + seed) & 0xFF);
  return b;
}

bool Exists(const std::string& path) { return QFile::exists(QString::fromStdString(path)); }

std::string WriteFile(const QString& name, const Bytes& bytes) {
  const std::string path = TestEnv::tempPath(name).toStdString();
  EXPECT_EQ(WriteWholeFile(path, bytes.data(), bytes.size()), 0u);
  return path;
}

Bytes LittleEndian32(std::uint32_t n) { return Of({int(n & 0xFF), int((n >> 8) & 0xFF), int((n >> 16) & 0xFF), int(n >> 24)}); }

Bytes RiffChunk(const std::string& id, const Bytes& body) { return Cat({Text(id), LittleEndian32(std::uint32_t(body.size())), body}); }

// RIFF/WAVE with a 16-byte "fmt " chunk, the given middle chunks and data.
Bytes Wav(const Bytes& data, const Bytes& between = {}) {
  const Bytes fmt = Of({1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0});
  const Bytes body = Cat({Text("WAVE"), RiffChunk("fmt ", fmt), between, RiffChunk("data", data)});
  return Cat({Text("RIFF"), LittleEndian32(std::uint32_t(body.size())), body});
}

}  // namespace

TEST(WaveData, BytesLiveInMemoryOrInTheirOwnDatFile) {
  CAudioWaveData data;
  const Bytes first = Pattern(1000);
  ASSERT_EQ(data.SetBytesToTempFile(first.data(), first.size()), 0u);
  const std::string dat = data.GetTempFilePath();
  ASSERT_TRUE(Exists(dat));
  EXPECT_EQ(dat.substr(dat.size() - 4), ".dat");
  std::uint64_t size = 0;
  ASSERT_EQ(data.GetTempFileSize(size), 0u);
  EXPECT_EQ(size, 1000u);
  Bytes buffer(10);
  EXPECT_EQ(data.GetMemoryBytes(buffer.data(), buffer.size()), 0x80000001u);
  Bytes loaded;
  ASSERT_EQ(data.LoadBytes(loaded), 0u);
  EXPECT_EQ(loaded, first);

  // Bytes set in memory remove the ".dat" file.
  const Bytes second = Pattern(6, 9);
  ASSERT_EQ(data.SetBytes(second.data(), second.size()), 0u);
  EXPECT_FALSE(Exists(dat));
  EXPECT_TRUE(data.GetTempFilePath().empty());
  EXPECT_EQ(data.GetTempFileSize(size), 0x80000001u);
  buffer.assign(10, 0xEE);
  ASSERT_EQ(data.GetMemoryBytes(buffer.data(), buffer.size()), 0u);
  EXPECT_EQ(buffer, Cat({second, Bytes(4, 0)}));
  ASSERT_EQ(data.LoadBytes(loaded), 0u);
  EXPECT_EQ(loaded, second);

  // And a new ".dat" file empties the memory.
  ASSERT_EQ(data.SetBytesToTempFile(first.data(), first.size()), 0u);
  std::uint64_t inMemory = 1;
  data.GetMemorySize(inMemory);
  EXPECT_EQ(inMemory, 0u);
  const std::string dat2 = data.GetTempFilePath();
  ASSERT_EQ(data.Clear(), 0u);
  EXPECT_FALSE(Exists(dat2));
  EXPECT_EQ(data.SetBytes(nullptr, 3), 0x80000001u);
  EXPECT_EQ(data.SetBytesToTempFile(first.data(), 0), 0x80000001u);
  EXPECT_EQ(data.GetMemoryBytes(buffer.data(), buffer.size()), 0x80000003u);
  EXPECT_EQ(data.DeleteTempFile(), 0x80000001u);
}

TEST(WaveData, ACopyOwnsItsOwnDatFileAndDestructionRemovesOnlyItsOwn) {
  const Bytes bytes = Pattern(5000);
  auto source = std::make_unique<CAudioWaveData>();
  source->SetFilePath("/recordings/song.wav");
  ASSERT_EQ(source->SetBytesToTempFile(bytes.data(), bytes.size()), 0u);
  const std::string sourceDat = source->GetTempFilePath();

  std::string copyDat;
  {
    CAudioWaveData copy;
    copy = *source;
    copyDat = copy.GetTempFilePath();
    ASSERT_FALSE(copyDat.empty());
    EXPECT_NE(copyDat, sourceDat);
    Bytes loaded;
    ASSERT_EQ(copy.LoadBytes(loaded), 0u);
    EXPECT_EQ(loaded, bytes);
    std::string path;
    copy.GetFilePath(path);
    EXPECT_EQ(path, "/recordings/song.wav");
    EXPECT_FALSE(copy == *source);  // different ".dat" files
  }
  EXPECT_FALSE(Exists(copyDat));
  EXPECT_TRUE(Exists(sourceDat));

  // Copying over an object with a file of its own replaces that file.
  CAudioWaveData target;
  target.SetBytesToTempFile(bytes.data(), 10);
  const std::string oldDat = target.GetTempFilePath();
  target = *source;
  EXPECT_FALSE(Exists(oldDat));
  EXPECT_TRUE(Exists(target.GetTempFilePath()));
  target = target;  // self-assignment keeps the file
  EXPECT_TRUE(Exists(target.GetTempFilePath()));

  source.reset();
  EXPECT_FALSE(Exists(sourceDat));
  EXPECT_TRUE(Exists(target.GetTempFilePath()));
}

TEST(WaveData, WithoutBytesTheSourceWavIsRead) {
  const auto frames = TestAudio::sine(0.01, 440.0);
  const QString wav = TestEnv::tempPath("tone.wav");
  ASSERT_TRUE(TestAudio::writeWav(wav, frames));
  CAudioWaveData data;
  data.SetFilePath(wav.toStdString());
  Bytes loaded;
  ASSERT_EQ(data.LoadBytes(loaded), 0u);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(frames.data());
  EXPECT_EQ(loaded, Bytes(raw, raw + frames.size() * 2));

  data.SetFilePath(TestEnv::tempPath("missing.wav").toStdString());
  EXPECT_EQ(data.LoadBytes(loaded), Result::nest(7, Result::fail(1)));
  EXPECT_TRUE(loaded.empty());
}

TEST(WavReader, AppendsTheDataChunkInBlocks) {
  const Bytes data = Pattern(2500);
  const std::string path = WriteFile("blocks.wav", Wav(data));
  Bytes out = Of({1, 2});
  WavFileReader reader;
  ASSERT_EQ(reader.Read(out, path), 0u);
  EXPECT_EQ(out, Cat({Of({1, 2}), data}));
}

TEST(WavReader, RefusesOtherLayouts) {
  WavFileReader reader;
  Bytes out;
  const Bytes data = Pattern(16);
  // A list chunk between "fmt " and "data": "LIST" is no known chunk id.
  const std::string list = WriteFile("list.wav", Wav(data, RiffChunk("LIST", Text("INFO"))));
  EXPECT_EQ(reader.Read(out, list), Result::nest(3, Result::fail(3)));
  // A known id in that place is the wrong chunk.
  const std::string other = WriteFile("other.wav", Wav(data, RiffChunk("MTrk", Of({0, 0}))));
  EXPECT_EQ(reader.Read(out, other), 0x80000004u);
  EXPECT_EQ(reader.Read(out, WriteFile("empty-data.wav", Wav({}))), 0x80000006u);
  Bytes notWave = Wav(data);
  notWave[8] = 'X';
  EXPECT_EQ(reader.Read(out, WriteFile("notwave.wav", notWave)), 0x80000007u);
  Bytes midi = Wav(data);
  std::copy_n("MThd", 4, midi.begin());
  EXPECT_EQ(reader.Read(out, WriteFile("midi.wav", midi)), 0x80000004u);
  EXPECT_EQ(reader.Read(out, TestEnv::tempPath("none.wav").toStdString()), 0x80000001u);
  EXPECT_TRUE(out.empty());
}

TEST(WavReader, TruncatedFilesFailAndLeaveTheOutputAsItWas) {
  WavFileReader reader;
  const Bytes whole = Wav(Pattern(3000));
  Bytes out = Of({7});
  // Cut inside the data, inside the "data" header, inside the "fmt " body
  // and inside the RIFF header.
  EXPECT_EQ(reader.Read(out, WriteFile("cut-data.wav", Bytes(whole.begin(), whole.end() - 1))), 0x80000008u);
  EXPECT_EQ(reader.Read(out, WriteFile("cut-head.wav", Bytes(whole.begin(), whole.begin() + 40))),
            Result::nest(5, Result::fail(2)));
  EXPECT_EQ(reader.Read(out, WriteFile("cut-fmt.wav", Bytes(whole.begin(), whole.begin() + 30))), 0x80000008u);
  EXPECT_EQ(reader.Read(out, WriteFile("cut-riff.wav", Bytes(whole.begin(), whole.begin() + 6))),
            Result::nest(5, Result::fail(2)));
  EXPECT_EQ(reader.Read(out, WriteFile("cut-two.wav", Bytes(whole.begin(), whole.begin() + 2))),
            Result::nest(3, Result::fail(2)));
  // A "fmt " size beyond the file is refused before anything is read.
  Bytes huge = whole;
  huge[16] = 0xFF;
  huge[17] = 0xFF;
  huge[18] = 0xFF;
  huge[19] = 0x7F;
  EXPECT_EQ(reader.Read(out, WriteFile("huge-fmt.wav", huge)), 0x80000008u);
  EXPECT_EQ(out, Of({7}));
}
