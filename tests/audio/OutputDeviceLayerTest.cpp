// The output-device layer over a virtual sound system: which devices are
// offered, how start fails, and what a cycle writes into each channel.

#include <gtest/gtest.h>

#include <QSharedPointer>

#include <numeric>
#include <thread>

#include "CaudioOutDeviceInfo_hal.h"
#include "CaudioOutDeviceManager_hal.h"
#include "CaudioOutDevice_hal.h"
#include "VirtualBackend.h"

using namespace FusionStyle;
using hal::VirtualBackend;

namespace {

// Produces a ramp: left k+1, right -(k+1), for `produce` frames.
class RampCallback : public CaudioOutCallbackIF {
 public:
  explicit RampCallback(std::uint32_t produce) : m_produce(produce) {}
  bool ready() override { return true; }
  std::uint32_t render(std::int16_t* left, std::int16_t* right, std::uint32_t frames) override {
    for (std::uint32_t k = 0; k < frames; ++k) {
      left[k] = static_cast<std::int16_t>(k + 1);
      right[k] = static_cast<std::int16_t>(-static_cast<int>(k) - 1);
    }
    ++calls;
    return std::min(frames, m_produce);
  }
  int calls = 0;

 private:
  std::uint32_t m_produce;
};

}  // namespace

TEST(OutputDeviceLayer, OnlyFloatDevicesWithRangeChannelsAndNameAreListed) {
  VirtualBackend backend(false);
  struct Case {
    const char* name;
    void (*breakIt)(VirtualBackend::DeviceSpec&);
  };
  const Case cases[] = {
      {"integer", [](auto& s) { s.format.formatId = 0x696E7420; }},
      {"flags 0x29", [](auto& s) { s.format.flags = 0x29; }},
      {"flags 1", [](auto& s) { s.format.flags = 1; }},
      {"no channels", [](auto& s) { s.bufferChannels = {0}; }},
      {"no buffers", [](auto& s) { s.bufferChannels.clear(); }},
      {"min 0.0", [](auto& s) { s.minFrames = 0.0; }},
      {"max 0.9", [](auto& s) { s.maxFrames = 0.9; }},
      {"name fails", [](auto& s) { s.failName = true; }},
      {"format fails", [](auto& s) { s.failFormat = true; }},
      {"range fails", [](auto& s) { s.failRange = true; }},
      {"layout fails", [](auto& s) { s.failChannels = true; }},
  };
  for (const Case& c : cases) {
    VirtualBackend::DeviceSpec spec;
    spec.name = c.name;
    c.breakIt(spec);
    backend.addDevice(spec);
  }
  VirtualBackend::DeviceSpec empty;
  empty.name.clear();
  backend.addDevice(empty);
  VirtualBackend::DeviceSpec good;
  good.name = "split";
  good.bufferChannels = {1, 1, 2};
  good.minFrames = 16.9;
  good.maxFrames = 8192.5;
  const hal::DeviceId goodId = backend.addDevice(good);

  CaudioOutDeviceManager_hal manager(backend);
  QList<QSharedPointer<CaudioOutDeviceInfoIF>> list;
  manager.getDeviceInfoList(list);
  ASSERT_EQ(list.size(), 1);
  EXPECT_EQ(list[0]->name(), "split");
  EXPECT_EQ(list[0]->channels(), 4u);
  EXPECT_EQ(list[0]->minBufferFrames(), 16u);
  EXPECT_EQ(list[0]->maxBufferFrames(), 8192u);
  EXPECT_EQ(list[0]->deviceId(), goodId);

  // An unreadable device list leaves the caller's list as it was.
  backend.setFailDeviceList(true);
  manager.getDeviceInfoList(list);
  EXPECT_EQ(list.size(), 1);
}

TEST(OutputDeviceLayer, DevicesAreMadeOnlyForTheManagersOwnDescriptions) {
  VirtualBackend backend;
  CaudioOutDeviceManager_hal manager(backend);
  EXPECT_FALSE(manager.createDevice({}, {}));
  QSharedPointer<CaudioOutDeviceInfoIF> ours(new CaudioOutDeviceInfo_hal(1, "x", 2, 16, 16));
  EXPECT_TRUE(manager.createDevice(ours, {}));
  class Unrelated : public CaudioOutDeviceInfoIF {
    bool isValid() override { return true; }
    QString name() override { return "x"; }
    std::uint32_t channels() override { return 2; }
    std::uint32_t minBufferFrames() override { return 16; }
    std::uint32_t maxBufferFrames() override { return 16; }
    std::uint32_t inputChannels() override { return 0; }
    std::uint32_t latencyFrames() override { return 0; }
    std::uint32_t deviceId() override { return 1; }
  };
  EXPECT_FALSE(manager.createDevice(QSharedPointer<CaudioOutDeviceInfoIF>(new Unrelated), {}));
}

TEST(OutputDeviceLayer, StartTwiceIsRefusedAndAFailedStartLeavesTheDeviceStopped) {
  VirtualBackend backend(false);
  backend.setPullMode(VirtualBackend::PullMode::Manual);
  using Breaker = void (*)(VirtualBackend::DeviceSpec&);
  const Breaker breakers[] = {[](auto& s) { s.failSetFrameSize = true; }, [](auto& s) { s.failSetRate = true; },
                              [](auto& s) { s.failCreate = true; }, [](auto& s) { s.failStart = true; }};
  for (Breaker breakIt : breakers) {
    VirtualBackend::DeviceSpec spec;
    breakIt(spec);
    backend.addDevice(spec);
  }
  const hal::DeviceId goodId = backend.addDevice(VirtualBackend::DeviceSpec{});
  auto callback = QSharedPointer<CaudioOutCallbackIF>(new RampCallback(64));
  CaudioOutDeviceManager_hal manager(backend);

  for (hal::DeviceId id = 1; id < goodId; ++id) {
    auto device = manager.createDevice(QSharedPointer<CaudioOutDeviceInfoIF>(new CaudioOutDeviceInfo_hal(id, "d", 2, 16, 8192)), callback);
    EXPECT_FALSE(device->start(0, 1, 64, 48000.0)) << id;
    EXPECT_FALSE(backend.isRunning(id)) << id;
    EXPECT_FALSE(device->stop()) << id;
  }

  auto device = manager.createDevice(
      QSharedPointer<CaudioOutDeviceInfoIF>(new CaudioOutDeviceInfo_hal(goodId, "d", 2, 16, 8192)), callback);
  ASSERT_TRUE(device->start(0, 1, 64, 44100.0));
  EXPECT_FALSE(device->start(0, 1, 128, 48000.0));
  ASSERT_TRUE(backend.pump(goodId, 1));
  EXPECT_EQ(backend.capturedChannel(goodId, 0).size(), 64u);
  EXPECT_TRUE(device->stop());
  EXPECT_FALSE(device->stop());
  EXPECT_FALSE(backend.pump(goodId, 1));
}

TEST(OutputDeviceLayer, CycleWritesTheProducedFramesToTheChosenChannelsAndZerosElsewhere) {
  struct Case {
    std::vector<std::uint32_t> layout;
    std::uint32_t hardwareFrames;
    std::uint32_t produced;
    std::uint32_t left, right;
  };
  const Case cases[] = {
      {{2}, 0, 32, 0, 1},    {{2}, 0, 20, 1, 0},  {{1, 1}, 0, 32, 0, 1},
      {{4}, 0, 32, 2, 3},    {{2}, 48, 32, 0, 1}, {{2}, 16, 32, 0, 1},
      {{1, 3}, 40, 24, 3, 1}, {{2}, 0, 99, 0, 1},
  };
  for (const Case& c : cases) {
    const std::uint32_t frames = 32;
    VirtualBackend backend(false);
    backend.setPullMode(VirtualBackend::PullMode::Manual);
    VirtualBackend::DeviceSpec spec;
    spec.bufferChannels = c.layout;
    spec.hardwareFrames = c.hardwareFrames;
    const hal::DeviceId id = backend.addDevice(spec);
    auto callback = QSharedPointer<CaudioOutCallbackIF>(new RampCallback(c.produced));
    CaudioOutDeviceManager_hal manager(backend);
    QList<QSharedPointer<CaudioOutDeviceInfoIF>> list;
    manager.getDeviceInfoList(list);
    auto device = manager.createDevice(list.value(0), callback);
    ASSERT_TRUE(device->start(c.left, c.right, frames, 44100.0));
    ASSERT_TRUE(backend.pump(id, 2));
    device->stop();

    const std::uint32_t bufferFrames = c.hardwareFrames ? c.hardwareFrames : frames;
    const std::uint32_t heard = std::min({bufferFrames, c.produced, frames});
    const std::uint32_t total = std::accumulate(c.layout.begin(), c.layout.end(), 0u);
    for (std::uint32_t ch = 0; ch < total; ++ch) {
      const std::vector<float> got = backend.capturedChannel(id, ch);
      ASSERT_EQ(got.size(), 2u * bufferFrames);
      for (std::uint32_t k = 0; k < got.size(); ++k) {
        const std::uint32_t f = k % bufferFrames;
        float want = 0.0f;
        if (f < heard && ch == c.left) want = (f + 1) / 32768.0f;
        if (f < heard && ch == c.right) want = -(f + 1.0f) / 32768.0f;
        ASSERT_EQ(got[k], want) << "layout case " << &c - cases << " channel " << ch << " slot " << k;
      }
    }
    for (hal::Status s : backend.capturedStatuses(id)) EXPECT_EQ(s, hal::kStatusOk);
  }
}

TEST(OutputDeviceLayer, WithoutALiveCallbackEveryCycleAnswersUnspecifiedAndPlaysSilence) {
  VirtualBackend backend;
  backend.setPullMode(VirtualBackend::PullMode::Manual);
  CaudioOutDeviceManager_hal manager(backend);
  QList<QSharedPointer<CaudioOutDeviceInfoIF>> list;
  manager.getDeviceInfoList(list);
  const hal::DeviceId id = list.value(0)->deviceId();

  auto callback = QSharedPointer<CaudioOutCallbackIF>(new RampCallback(16));
  auto device = manager.createDevice(list[0], callback);
  ASSERT_TRUE(device->start(0, 1, 16, 44100.0));
  ASSERT_TRUE(backend.pump(id, 1));
  callback.reset();  // the owner lets go while the device runs
  ASSERT_TRUE(backend.pump(id, 2));
  device->stop();
  EXPECT_EQ(backend.capturedStatuses(id), (std::vector<hal::Status>{hal::kStatusOk, hal::kStatusUnspecified,
                                                                    hal::kStatusUnspecified}));
  const std::vector<float> left = backend.capturedChannel(id, 0);
  ASSERT_EQ(left.size(), 48u);
  EXPECT_EQ(left[0], 1 / 32768.0f);
  for (std::size_t k = 16; k < 48; ++k) EXPECT_EQ(left[k], 0.0f);

  // A procedure called for another device, or without its device object,
  // writes nothing.
  std::vector<float> data(8, 0.5f);
  hal::OutBuffer buffer{data.data(), 2, 32};
  EXPECT_EQ(CaudioOutDevice_hal::ioProc(id, &buffer, 1, nullptr), hal::kStatusUnspecified);
  CaudioOutDevice_hal other(backend, id, {});
  EXPECT_EQ(other.render(id + 7, &buffer, 1), hal::kStatusUnspecified);
  EXPECT_EQ(data, std::vector<float>(8, 0.5f));
}

TEST(OutputDeviceLayer, StartAndStopAThousandTimesWithCyclesInBetween) {
  VirtualBackend backend;
  backend.setPullMode(VirtualBackend::PullMode::Manual);
  CaudioOutDeviceManager_hal manager(backend);
  QList<QSharedPointer<CaudioOutDeviceInfoIF>> list;
  manager.getDeviceInfoList(list);
  auto ramp = new RampCallback(8);
  auto callback = QSharedPointer<CaudioOutCallbackIF>(ramp);
  auto device = manager.createDevice(list.value(0), callback);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(device->start(0, 1, 8, 44100.0));
    if (i % 2) {
      ASSERT_TRUE(backend.pump(list[0]->deviceId(), 1));
    }
    ASSERT_TRUE(device->stop());
  }
  EXPECT_EQ(ramp->calls, 500);
}

TEST(OutputDeviceLayer, ClockedDevicePullsCyclesByItselfUntilStopped) {
  VirtualBackend backend;
  CaudioOutDeviceManager_hal manager(backend);
  QList<QSharedPointer<CaudioOutDeviceInfoIF>> list;
  manager.getDeviceInfoList(list);
  const hal::DeviceId id = list.value(0)->deviceId();
  auto ramp = new RampCallback(16);
  auto callback = QSharedPointer<CaudioOutCallbackIF>(ramp);
  auto device = manager.createDevice(list[0], callback);
  ASSERT_TRUE(device->start(0, 1, 16, 44100.0));
  EXPECT_FALSE(backend.pump(id, 1));  // a clocked device is not pumped by hand
  while (backend.capturedStatuses(id).size() < 3) std::this_thread::yield();
  ASSERT_TRUE(device->stop());
  const std::size_t cycles = backend.capturedStatuses(id).size();
  EXPECT_EQ(backend.capturedChannel(id, 0).size(), cycles * 16);
  EXPECT_EQ(ramp->calls, static_cast<int>(cycles));
}
