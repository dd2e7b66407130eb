#include "AudioDeviceASFF.h"

#include <new>

#include "CdeviceFactory.h"
#include "WavSeeker_libSndFile.h"

namespace {

// Kept for the whole process; released at exit, after the device stopped.
QSharedPointer<AudioDeviceASFF>& processDevice() {
  static QSharedPointer<AudioDeviceASFF> device;
  return device;
}

}  // namespace

AudioDeviceASFF::AudioDeviceASFF(WavSeeker_libSndFile* source, WavSeeker_libSndFile* click1,
                                 WavSeeker_libSndFile* click2, std::uint8_t* clickOn, std::uint8_t* level,
                                 std::uint8_t* click2On)
    : m_source(source), m_click1(click1), m_click2(click2), m_clickOn(clickOn), m_level(level), m_click2On(click2On) {}

AudioDeviceASFF::~AudioDeviceASFF() {
  // The audio thread renders through this object; it must be finished
  // before any member goes.
  if (m_device) m_device->stop();
  m_device.reset();
}

ResultCode AudioDeviceASFF::create(WavSeeker_libSndFile* source, WavSeeker_libSndFile* click1,
                                   WavSeeker_libSndFile* click2, std::uint8_t* clickOn, std::uint8_t* level,
                                   std::uint8_t* click2On) {
  QSharedPointer<AudioDeviceASFF>& device = processDevice();
  if (device) return Result::kOk;
  AudioDeviceASFF* made = new (std::nothrow) AudioDeviceASFF(source, click1, click2, clickOn, level, click2On);
  if (!made) return Result::fail(1);
  device.reset(made);
  const ResultCode result = device->init();
  return Result::failed(result) ? Result::nest(2, result) : result;
}

QSharedPointer<AudioDeviceASFF> AudioDeviceASFF::instance() { return processDevice(); }

ResultCode AudioDeviceASFF::init() {
  const ResultCode listed = listDevices();
  if (Result::failed(listed)) return listed;
  selectDevice(0);
  return Result::kOk;
}

ResultCode AudioDeviceASFF::listDevices() {
  const QSharedPointer<FusionStyle::CdeviceFactory> factory = FusionStyle::CdeviceFactory::instance();
  if (!factory) return Result::fail(1);
  m_manager = factory->deviceManager();
  if (!m_manager) return Result::fail(2);
  m_manager->getDeviceInfoList(m_devices);
  if (m_devices.isEmpty()) return Result::fail(3);
  return Result::kOk;
}

void AudioDeviceASFF::setSources(WavSeeker_libSndFile* source, WavSeeker_libSndFile* click1,
                                 WavSeeker_libSndFile* click2, std::uint8_t* clickOn, std::uint8_t* level,
                                 std::uint8_t* click2On) {
  m_source = source;
  m_click1 = click1;
  m_click2 = click2;
  m_clickOn = clickOn;
  m_level = level;
  m_click2On = click2On;
  if (!m_callback) return;
  m_callback->m_source = source;
  m_callback->m_click1.reader = click1;
  m_callback->m_click2.reader = click2;
  m_callback->m_clickOn = clickOn;
  m_callback->m_level = level;
  m_callback->m_click2On = click2On;
}

ResultCode AudioDeviceASFF::deviceCount(std::int64_t& count) const {
  count = m_devices.size();
  return Result::kOk;
}

ResultCode AudioDeviceASFF::deviceName(std::int64_t index, QString& name) const {
  if (index < 0 || index >= m_devices.size()) return Result::fail(1);
  name = m_devices[static_cast<int>(index)]->name();
  return Result::kOk;
}

ResultCode AudioDeviceASFF::findDevice(const QString& name, bool& found, std::int64_t& index) const {
  found = false;
  index = 0;
  for (int i = 0; i < m_devices.size(); ++i) {
    if (m_devices[i]->name() == name) {
      found = true;
      index = i;
    }
  }
  return Result::kOk;
}

ResultCode AudioDeviceASFF::selectDeviceByName(const QString& name) {
  bool found = false;
  std::int64_t index = 0;
  findDevice(name, found, index);
  if (found) selectDevice(index);
  return Result::kOk;
}

ResultCode AudioDeviceASFF::selectDevice(std::int64_t index) {
  // An index outside the list (the setup dialog's empty list gives -1)
  // keeps the device held so far.
  if (!m_manager || index < 0 || index >= m_devices.size()) return Result::fail(1);
  m_selected = index;
  m_open = false;
  m_device = m_manager->createDevice(m_devices[static_cast<int>(index)],
                                     m_callback.staticCast<FusionStyle::CaudioOutCallbackIF>().toWeakRef());
  return Result::kOk;
}

ResultCode AudioDeviceASFF::open(std::uint32_t frames, double sampleRate) {
  if (!m_device) return Result::fail(1);
  // A device already running keeps running; it is open.
  if (!m_device->start(0, 1, frames, sampleRate) && !m_open) return Result::fail(2);
  m_open = true;
  return Result::kOk;
}

ResultCode AudioDeviceASFF::close() {
  if (m_device) m_device->stop();
  m_open = false;
  return Result::kOk;
}

ResultCode AudioDeviceASFF::prepare(std::int64_t regionStart, std::int64_t regionEnd, std::int64_t position,
                                    const std::vector<std::int64_t>& clicks1,
                                    const std::vector<std::int64_t>& clicks2) {
  try {
    if (!m_callback) m_callback.reset(new AudioOutDeviceCallbackSeq(this));
    m_callback->m_regionStart = regionStart;
    std::int64_t end = regionEnd;
    if (end == -1) end = m_source ? static_cast<std::int64_t>(m_source->length()) : 0;
    m_callback->m_regionEnd = end;
    if (m_source) m_source->seek(position < 0 ? 0 : static_cast<std::uint64_t>(position));
    m_callback->m_position = position;
    m_callback->m_click1.list = clicks1;
    m_callback->m_click2.list = clicks2;
  } catch (const std::bad_alloc&) {
    return Result::fail(1);
  }
  return Result::kOk;
}

ResultCode AudioDeviceASFF::start() {
  if (m_callback) m_callback->m_playing = 1;
  m_playing = 1;
  return Result::kOk;
}

ResultCode AudioDeviceASFF::stop() {
  if (m_callback) m_callback->m_playing = 0;
  m_playing = 0;
  return Result::kOk;
}

void AudioDeviceASFF::setLoop(bool loop) {
  if (m_callback) m_callback->m_loop = loop ? 1 : 0;
}

std::int64_t AudioDeviceASFF::position() const { return m_callback ? m_callback->m_position.load() : 0; }

ResultCode AudioDeviceASFF::checkCallback() const { return m_callback ? Result::kOk : Result::fail(1); }
