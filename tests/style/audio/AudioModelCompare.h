#pragma once
// Compares two audio models part by part, for round trips through files.
// Sample bytes are compared wherever they live (memory, ".dat" file).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CAudioInfo.h"

namespace AudioTest {

inline std::vector<std::vector<std::uint8_t>> EventBytes(const CAMixData* mix) {
  std::vector<std::vector<std::uint8_t>> out;
  if (!mix || !mix->GetTrack()) return out;
  for (const CEvnt* e : mix->GetTrack()->GetEventList()) {
    std::uint8_t s = 0, m = 0, d[4];
    std::uint64_t t = 0;
    e->GetStatus(s);
    e->GetMetaType(m);
    e->GetShortData(d);
    e->GetTime(t);
    std::vector<std::uint8_t> v = {s, m, d[0], d[1], static_cast<std::uint8_t>(t)};
    std::vector<std::uint8_t> payload;
    e->GetExData(payload);
    v.insert(v.end(), payload.begin(), payload.end());
    out.push_back(v);
  }
  return out;
}

inline void ExpectSameSection(const CAudioSection& a, const CAudioSection& b) {
  NameList na, nb;
  a.GetNames(na);
  b.GetNames(nb);
  EXPECT_EQ(na, nb);
  ASSERT_EQ(a.GetAtabList().size(), b.GetAtabList().size());
  for (std::size_t i = 0; i < a.GetAtabList().size(); ++i) EXPECT_EQ(*a.GetAtabList()[i], *b.GetAtabList()[i]);
  std::uint16_t ra = 0, rb = 0;
  a.GetResolution(ra);
  b.GetResolution(rb);
  EXPECT_EQ(ra, rb);
  EXPECT_EQ(EventBytes(a.GetMixData()), EventBytes(b.GetMixData()));
}

inline void ExpectSameFile(const CAudioFile& a, const CAudioFile& b) {
  std::uint8_t ra[50], rb[50];
  std::uint64_t n = 50;
  a.GetNameRecord(ra, n);
  b.GetNameRecord(rb, n);
  EXPECT_EQ(std::vector<std::uint8_t>(ra, ra + 50), std::vector<std::uint8_t>(rb, rb + 50));
  const CAudioWaveForm* wa = a.GetWaveForm();
  const CAudioWaveForm* wb = b.GetWaveForm();
  ASSERT_TRUE(wa && wb);
  std::uint8_t ta[4], tb[4];
  n = 4;
  wa->GetType(ta, n);
  wb->GetType(tb, n);
  EXPECT_EQ(std::vector<std::uint8_t>(ta, ta + 4), std::vector<std::uint8_t>(tb, tb + 4));
  ASSERT_TRUE(wa->GetWaveFormat() && wb->GetWaveFormat());
  EXPECT_EQ(*wa->GetWaveFormat(), *wb->GetWaveFormat());
  ASSERT_TRUE(wa->GetStyleWaveFormat() && wb->GetStyleWaveFormat());
  // The Sdec section carries only names in the file.
  NameList na, nb;
  a.GetSectionNames(na);
  b.GetSectionNames(nb);
  EXPECT_EQ(na, nb);
  CAudioStyleWaveFormat fa, fb;
  fa.CopyFrom(*wa->GetStyleWaveFormat());
  fb.CopyFrom(*wb->GetStyleWaveFormat());
  fa.DeleteSection();
  fb.DeleteSection();
  EXPECT_TRUE(fa == fb);
  ASSERT_TRUE(wa->GetWaveInfo() && wb->GetWaveInfo());
  // The volume byte is not carried by the file.
  CAudioWaveInfo ia, ib;
  ia.CopyFrom(*wa->GetWaveInfo());
  ib.CopyFrom(*wb->GetWaveInfo());
  ia.SetVolume(0);
  ib.SetVolume(0);
  EXPECT_TRUE(ia == ib);
  std::vector<std::uint8_t> ba, bb;
  ASSERT_TRUE(wa->GetWaveData() && wb->GetWaveData());
  EXPECT_EQ(wa->GetWaveData()->LoadBytes(ba), 0u);
  EXPECT_EQ(wb->GetWaveData()->LoadBytes(bb), 0u);
  EXPECT_EQ(ba, bb);
}

inline void ExpectSameAudio(const CAudioInfo& a, const CAudioInfo& b) {
  ASSERT_EQ(a.GetSectionList().size(), b.GetSectionList().size());
  for (std::size_t i = 0; i < a.GetSectionList().size(); ++i) ExpectSameSection(*a.GetSection(i), *b.GetSection(i));
  ASSERT_EQ(a.GetFileList().size(), b.GetFileList().size());
  for (std::size_t i = 0; i < a.GetFileList().size(); ++i) ExpectSameFile(*a.GetFile(i), *b.GetFile(i));
}

}  // namespace AudioTest
