// The ALSA road run against alsa-lib's "null" PCM, which needs no sound
// card and accepts every write at once.

#include <gtest/gtest.h>

#include <QSharedPointer>

#include <atomic>
#include <chrono>
#include <thread>

#include "AlsaBackend.h"
#include "CaudioOutDeviceManager_hal.h"

using namespace FusionStyle;

namespace {

class CountingCallback : public CaudioOutCallbackIF {
 public:
  bool ready() override { return true; }
  std::uint32_t render(std::int16_t* left, std::int16_t* right, std::uint32_t frames) override {
    for (std::uint32_t k = 0; k < frames; ++k) left[k] = right[k] = 1000;
    ++calls;
    return frames;
  }
  std::atomic<int> calls{0};
};

QSharedPointer<CaudioOutDeviceInfoIF> nullDevice(CaudioOutDeviceManager_hal& manager) {
  QList<QSharedPointer<CaudioOutDeviceInfoIF>> list;
  manager.getDeviceInfoList(list);
  for (auto& info : list)
    if (info->name().endsWith("[null]")) return info;
  return {};
}

}  // namespace

TEST(AlsaBackend, NullPcmIsListedOnlyWhenAskedForAndOffersStereoFloat) {
  hal::AlsaBackend plain;
  CaudioOutDeviceManager_hal plainManager(plain);
  EXPECT_FALSE(nullDevice(plainManager));

  hal::AlsaBackend withNull(true);
  CaudioOutDeviceManager_hal manager(withNull);
  const auto info = nullDevice(manager);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->channels(), 2u);
  EXPECT_GT(info->minBufferFrames(), 0u);
  EXPECT_GE(info->maxBufferFrames(), info->minBufferFrames());
  // Ids stay valid across listings, so a description outlives a refresh.
  const auto again = nullDevice(manager);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->deviceId(), info->deviceId());
  EXPECT_EQ(again->name(), info->name());
}

TEST(AlsaBackend, NullPcmRunsTheCallbackAndStartsAndStopsAThousandTimes) {
  hal::AlsaBackend backend(true);
  CaudioOutDeviceManager_hal manager(backend);
  const auto info = nullDevice(manager);
  ASSERT_TRUE(info);
  auto counting = new CountingCallback;
  QSharedPointer<CaudioOutCallbackIF> callback(counting);
  auto device = manager.createDevice(info, callback);
  ASSERT_TRUE(device);

  ASSERT_TRUE(device->start(0, 1, 256, 44100.0));
  EXPECT_FALSE(device->start(0, 1, 256, 44100.0));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (counting->calls.load() < 3 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_GE(counting->calls.load(), 3);
  ASSERT_TRUE(device->stop());
  const int afterStop = counting->calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(counting->calls.load(), afterStop);

  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(device->start(0, 1, 64 + (i % 4) * 64, i % 2 ? 48000.0 : 44100.0)) << i;
    ASSERT_TRUE(device->stop()) << i;
  }
  EXPECT_FALSE(device->stop());
}
