#pragma once
// Sound files in the formats libsndfile writes (AIFF, float, 24-bit, mono,
// other rates), for the tests of what the program accepts and reads.

#include <gtest/gtest.h>

#include <QString>

#include <sndfile.h>

#include <cstddef>
#include <vector>

// Writes the interleaved samples as `channels` channels at `rate` in the
// libsndfile `format` (SF_FORMAT_WAV | SF_FORMAT_PCM_16 and so on).
inline void writeSndfile(const QString& path, int format, int channels, int rate,
                         const std::vector<short>& interleaved) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.toUtf8().constData(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  sf_writef_short(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / std::size_t(channels)));
  sf_close(f);
}
