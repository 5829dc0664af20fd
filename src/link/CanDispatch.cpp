#include "link/CanDispatch.h"

#include <algorithm>
#include <chrono>

#include "system/Clock.h"
#include "system/PosixSerialPort.h"

namespace {

uint32_t BigEndianWord(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
         static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

}  // namespace

CanDispatch::CanDispatch() : CanDispatch(std::make_unique<PosixSerialPort>()) {}

CanDispatch::CanDispatch(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {}

CanDispatch::~CanDispatch() { Shutdown(); }

void CanDispatch::Open(const char* portName, uint32_t baud) {
  if (opened_) return;
  opened_ = true;
  portName_ = portName;
  baud_ = baud;
  portOpen_ = port_->Open(portName, baud);
  if (!portOpen_) {
    port_->Close();
    presence_.Lost(port_->ErrorText());
    presence_.Tell();
  }
  // The events, locks and rings are members, so they exist before any thread runs.
  Start(reader_, &CanDispatch::ReaderThread);
  Start(sender_, &CanDispatch::SendThread);
  Start(receiver_, &CanDispatch::ReceiveThread);
}

uint8_t CanDispatch::CreateChannel(uint8_t type, Callback callback) {
  uint8_t number = 0;
  {
    std::lock_guard lock(queueLock_);
    for (uint8_t index = 0; index < kChannels && number == 0; ++index) {
      Channel& channel = channels_[index];
      if (channel.inUse.load(std::memory_order_relaxed)) continue;
      channel.callback = callback;
      channel.type = type;
      channel.number = static_cast<uint8_t>(index + 1);
      channel.acknowledged = false;
      channel.inUse.store(true, std::memory_order_release);
      number = channel.number;
    }
  }
  std::lock_guard lock(sendMutex_);
  ReopenChannel(number);
  return number;
}

bool CanDispatch::QueueCanFrame(uint8_t channel, CanMessage& message, const uint8_t* data) {
  if (!ValidChannel(channel)) return false;
  std::unique_lock lock(queueLock_);
  auto hasSpace = [this] {
    return Next(sendWrite_.load(std::memory_order_relaxed)) != sendRead_.load(std::memory_order_acquire);
  };
  if (!hasSpace()) {
    sendEvent_.Set();  // a sender parked on an unacknowledged channel looks again
    if (!sendSpaceFreed_.wait_for(lock, std::chrono::milliseconds(kQueueFullWaitMs), hasSpace)) return false;
  }
  if (!(message.flags & CanMessage::kExtendedFlag)) message.identifier |= frame::kStandardMarker;
  const uint32_t index = sendWrite_.load(std::memory_order_relaxed);
  sendLengths_[index] =
      static_cast<uint32_t>(frame::BuildCanFrame(channel, message.identifier, data, message.length, sendRing_[index]));
  sendWrite_.store(Next(index), std::memory_order_release);
  sendEvent_.Set();
  return true;
}

void CanDispatch::GetLastFrame(uint8_t number, CanMessage& message) {
  Channel* channel = ValidChannel(number);
  if (!channel) return;
  std::lock_guard lock(frameLock_);
  message.identifier = channel->lastFrame.identifier;
  message.length = channel->lastFrame.length;
  for (int i = 0; i < 8; ++i) message.data[i] = channel->lastFrame.data[i];
}

void CanDispatch::RequestInfo() {
  std::lock_guard lock(sendMutex_);
  WriteInfoRequest();
}

std::array<uint32_t, 5> CanDispatch::GetInfo() const {
  std::array<uint32_t, 5> words{};
  for (size_t i = 0; i < words.size(); ++i) words[i] = info_[i].load();
  return words;
}

uint32_t CanDispatch::LastCanFrameWritten() const {
  if (sendRead_.load(std::memory_order_acquire) != sendWrite_.load(std::memory_order_acquire)) return TickCount();
  return lastCanFrameAt_.load(std::memory_order_relaxed);
}

bool CanDispatch::Acknowledged(uint8_t number) const {
  const int index = IndexOf(number);
  return index >= 0 && channels_[index].acknowledged;
}

void CanDispatch::Shutdown() {
  stop_ = true;
  responseEvent_.Set();  // cuts a pending Ack wait short
  Stop(sender_, &sendEvent_);
  Stop(receiver_, &receiveEvent_);
  reconnectWake_.Set();
  port_->Wake();  // the reader sleeps in its read until bytes come
  Stop(reader_, nullptr);
}

int CanDispatch::IndexOf(uint8_t number) const {
  if (number == 0 || number > kChannels) return -1;
  return channels_[number - 1].inUse.load(std::memory_order_acquire) ? number - 1 : -1;
}

CanDispatch::Channel* CanDispatch::ValidChannel(uint8_t number) {
  const int index = IndexOf(number);
  return index >= 0 ? &channels_[index] : nullptr;
}

void CanDispatch::Start(Worker& worker, void (CanDispatch::*body)()) {
  worker.running = true;
  worker.thread = std::thread([this, &worker, body] {
    (this->*body)();
    worker.running = false;
  });
}

// Nudges the thread for up to kShutdownNudges ms, then joins it all the same:
// a thread left running would outlive the rings it reads. Every wait it can be
// in is bounded (at worst a port write's own time-out).
void CanDispatch::Stop(Worker& worker, Event* nudge) {
  if (!worker.thread.joinable()) return;
  for (uint32_t tries = 0; worker.running && tries < kShutdownNudges; ++tries) {
    if (nudge) nudge->Set();
    Sleep(1);
  }
  if (nudge) nudge->Set();
  worker.thread.join();
}

void CanDispatch::Write(const uint8_t* bytes, size_t length) {
  // A failed write counts as written; the gateway's Nak or Reopen brings a frame back.
  static_cast<void>(port_->Write(bytes, length));
}

// A frame the gateway may refuse with a Nak, which asks for it again.
void CanDispatch::WriteResendable(const uint8_t* bytes, size_t length) {
  std::copy_n(bytes, length, resend_);
  resendLength_ = length;
  Write(bytes, length);
}

// Never in place of a frame a pending Nak would bring back.
void CanDispatch::WriteInfoRequest() {
  uint8_t line[frame::kRingEntry];
  const size_t length = frame::BuildInfoRequest(line);
  presence_.InfoAsked(TickCount());
  if (resendLength_ == 0) {
    WriteResendable(line, length);
  } else {
    Write(line, length);
  }
}

void CanDispatch::ReopenChannel(uint8_t number) {
  Channel* channel = ValidChannel(number);
  if (!channel) return;
  channel->acknowledged = false;
  channel->opening = true;
  channel->openedAt = TickCount();
  uint8_t line[frame::kRingEntry];
  WriteResendable(line, frame::BuildOpenChannel(number, line));
}

// An OpenChannel whose Ack was lost goes again after kReopenRetryMs.
bool CanDispatch::OpenChannelDue(uint8_t number) const {
  const Channel& channel = channels_[number - 1];
  return !channel.opening || TickCount() - channel.openedAt >= kReopenRetryMs;
}

// ---- Reader thread: port bytes into the receive ring -----------------------

void CanDispatch::ReaderThread() {
  if (!portOpen_) Reconnect();
  while (!stop_) {
    const int count = port_->Read(readBuffer_, sizeof readBuffer_);
    if (stop_) return;
    if (count < 0) {
      LoseGateway();
      Reconnect();
      continue;
    }
    for (int i = 0; i < count; ++i) Collect(readBuffer_[i]);
  }
}

// The port failed or hung up: an unplugged adapter, a loose cable. A gateway
// that comes back has forgotten the channels, so each is opened again.
void CanDispatch::LoseGateway() {
  {
    std::lock_guard lock(sendMutex_);
    port_->Close();
    portOpen_ = false;
    resendLength_ = 0;
    for (Channel& channel : channels_) {
      channel.acknowledged = false;
      channel.opening = false;
    }
    presence_.Lost(port_->ErrorText());
  }
  inFrame_ = false;
  presence_.Tell();
}

// Until the gateway is back or the link stops.
void CanDispatch::Reconnect() {
  while (!stop_) {
    reconnectWake_.Wait(kReconnectMs);
    if (stop_) return;
    if (Reattach()) return;
  }
}

// A re-plugged adapter is a new device: the name is resolved afresh.
bool CanDispatch::Reattach() {
  std::lock_guard lock(sendMutex_);
  if (!port_->Open(portName_.c_str(), baud_)) {
    port_->Close();
    return false;
  }
  portOpen_ = true;
  ReopenAll();
  WriteInfoRequest();
  presence_.Reopened();
  sendEvent_.Set();  // the sender watches the reopenings' Acks
  return true;
}

// The gateway has forgotten its channels, or may have.
void CanDispatch::ReopenAll() {
  for (uint8_t number = 1; number <= kChannels; ++number) ReopenChannel(number);
}

void CanDispatch::Collect(uint8_t byte) {
  const uint32_t index = receiveWrite_.load(std::memory_order_relaxed);
  uint32_t& length = receiveLengths_[index];
  if (byte == frame::kStart) {  // restarts the entry, whatever it held
    receiveRing_[index][0] = byte;
    length = 1;
    inFrame_ = true;
    return;
  }
  if (!inFrame_) return;
  if (length < kCollectLimit) {
    receiveRing_[index][length++] = byte;
    if (byte != frame::kEnd) return;
  }
  CompleteFrame();  // an end marker, or a frame cut at kCollectLimit bytes
}

void CanDispatch::CompleteFrame() {
  inFrame_ = false;
  const uint32_t index = receiveWrite_.load(std::memory_order_relaxed);
  if (Next(index) == receiveRead_.load(std::memory_order_acquire)) {
    receiveLengths_[index] = 0;  // ring full: the newest frame goes, the waiting ones stay whole
    return;
  }
  receiveWrite_.store(Next(index), std::memory_order_release);
  receiveDoneEvent_.Reset();
  receiveEvent_.Set();
  receiveDoneEvent_.Wait(kHandOffMs);
}

// ---- Receive thread: decode, answer, hand CAN frames to the channels -------

void CanDispatch::ReceiveThread() {
  while (!stop_) {
    // Reset before the ring is looked at: a frame completed meanwhile signals again.
    receiveEvent_.Reset();
    while (!stop_ && receiveRead_.load(std::memory_order_relaxed) != receiveWrite_.load(std::memory_order_acquire))
      HandleNext();
    if (!stop_) receiveEvent_.Wait();
  }
}

void CanDispatch::HandleNext() {
  const uint32_t index = receiveRead_.load(std::memory_order_relaxed);
  {
    std::lock_guard lock(sendMutex_);
    if (stop_) return;
    HandleFrame(receiveRing_[index], receiveLengths_[index]);
  }
  presence_.Tell();
  receiveLengths_[index] = 0;
  receiveRead_.store(Next(index), std::memory_order_release);
  receiveDoneEvent_.Set();
}

// The collector starts every entry with the start marker.
void CanDispatch::HandleFrame(const uint8_t* line, size_t length) {
  if (length < 5) return;
  const size_t size = frame::Decode(line, length, packet_);
  if (!frame::ChecksumValid(packet_, size)) return AnswerSpoiledFrame();
  if (size <= frame::kKindAt + 1) return;  // no room for a kind before the checksum
  const bool copy = copies_.IsCopy(packet_, size, canFramesWritten_, TickCount());
  // The gateway names a channel of its own choosing on a Nak; whatever it
  // names, the frame it could not read must go again.
  if (packet_[frame::kKindAt] == frame::kNak) return ResendRefusedFrame();
  Channel* channel = ValidChannel(packet_[frame::kChannelAt]);
  if (!channel) return;
  switch (packet_[frame::kKindAt]) {
    case frame::kAck:
      // The Ack of a reopening releases the frame held back for it.
      channel->opening = false;
      resendLength_ = 0;
      if (!channel->acknowledged.exchange(true)) sendEvent_.Set();
      responseEvent_.Set();
      presence_.Acknowledged(TickCount());
      break;
    case frame::kReopen:
      OnReopen(*channel);
      break;
    case frame::kData:
      HandleData(*channel, packet_, size, !copy);
      break;
    default:
      break;
  }
}

void CanDispatch::ResendRefusedFrame() {
  if (resendLength_ == 0) return;
  Write(resend_, resendLength_);
  ++canFramesWritten_;  // answers may follow it as after any request
  lastCanFrameAt_.store(TickCount(), std::memory_order_relaxed);
}

void CanDispatch::AnswerSpoiledFrame() {
  uint8_t nak[frame::kRingEntry];
  Write(nak, frame::BuildNak(nak));
  copies_.NakWritten(TickCount());
}

void CanDispatch::HandleData(Channel& channel, const uint8_t* packet, size_t length, bool handOn) {
  if (!channel.callback || length <= frame::kPayloadAt) return;
  const uint16_t id = static_cast<uint16_t>(packet[frame::kIdAt] | packet[frame::kIdAt + 1] << 8);
  if (id != frame::kInfoReply) presence_.Heard(TickCount());
  switch (id) {
    case frame::kCanFrame: {
      // Stored before the Ack goes out, handed on after it. A packet too short
      // to hold a frame arrived intact all the same: it is acknowledged only.
      const bool stored = handOn && StoreFrame(channel, packet, length);
      Acknowledge(channel.number);
      if (stored) channel.callback(1);
      break;
    }
    case frame::kMessage19:
    case frame::kMessage20:
      Acknowledge(channel.number);
      break;
    case frame::kInfoReply:
      Acknowledge(channel.number);
      if (length < frame::kInfoReplyMinimum) break;
      for (size_t i = 0; i < info_.size(); ++i) info_[i] = BigEndianWord(packet + frame::kPayloadAt + 4 * i);
      presence_.InfoAnswered(TickCount());
      break;
    default:
      break;
  }
}

bool CanDispatch::StoreFrame(Channel& channel, const uint8_t* packet, size_t length) {
  std::lock_guard lock(frameLock_);
  if (!frame::ReadCanFrame(packet, length, channel.lastFrame)) return false;
  channel.lastFrame.time = TickCount();
  return true;
}

void CanDispatch::Acknowledge(uint8_t channel) {
  uint8_t ack[frame::kRingEntry];
  Write(ack, frame::BuildAck(channel, ack));
}

// The gateway refused the frame it got last: it goes again once the channel
// is open again. The sender, waiting for that frame's Ack, waits no longer;
// if the reopening's Ack is lost, it asks again as for any held frame.
void CanDispatch::OnReopen(Channel& channel) {
  StepBack();
  ReopenChannel(channel.number);
  responseEvent_.Set();
  sendEvent_.Set();
}

// Never back onto an entry that never held a frame, nor so far back that a
// full ring would look empty.
void CanDispatch::StepBack() {
  std::lock_guard lock(queueLock_);
  const uint32_t back = Previous(sendRead_.load(std::memory_order_relaxed));
  if (sendLengths_[back] == 0 || back == sendWrite_.load(std::memory_order_relaxed)) return;
  sendRead_.store(back, std::memory_order_release);
}

// ---- Send thread: queued frames onto the line, one Ack at a time -----------

void CanDispatch::SendThread() {
  bool held = false;
  while (!stop_) {
    const bool woken = sendEvent_.Wait(SendWaitMs(held));
    if (stop_) return;
    sendEvent_.Reset();  // a frame queued from here on signals again
    if (!woken) LookAfterTheGateway();
    held = false;
    while (!held && !stop_ && sendRead_.load(std::memory_order_acquire) != sendWrite_.load(std::memory_order_acquire)) {
      held = !SendHead();
    }
  }
}

// The Ack of an OpenChannel may be lost too: a held frame, or a channel
// reopened with nothing queued, asks again. An idle link probes the gateway
// when its presence says so; nothing else wakes the thread.
uint32_t CanDispatch::SendWaitMs(bool held) {
  const uint32_t look = presence_.NextLookMs(TickCount());
  std::lock_guard lock(sendMutex_);
  return held || Reopening() ? std::min(kReopenRetryMs, look) : look;
}

// Nothing was queued for a while.
void CanDispatch::LookAfterTheGateway() {
  std::lock_guard lock(sendMutex_);
  if (!portOpen_) return;
  const bool quiet = !ReopenDueChannels() && sendRead_.load() == sendWrite_.load();
  switch (presence_.Look(TickCount(), quiet)) {
    case GatewayPresence::Step::kProbe:
      WriteInfoRequest();
      break;
    case GatewayPresence::Step::kRecheck:
      // A gateway that restarted behind a port that stayed open answers
      // nothing on the channels it forgot.
      ReopenAll();
      WriteInfoRequest();
      break;
    case GatewayPresence::Step::kNone:
      break;
  }
}

// True while an OpenChannel is still unanswered.
bool CanDispatch::ReopenDueChannels() {
  for (uint8_t number = 1; number <= kChannels; ++number) {
    if (channels_[number - 1].inUse && channels_[number - 1].opening && OpenChannelDue(number)) ReopenChannel(number);
  }
  return Reopening();
}

bool CanDispatch::Reopening() const {
  return std::any_of(std::begin(channels_), std::end(channels_),
                     [](const Channel& channel) { return channel.inUse && channel.opening; });
}

// Writes the frame at the read index and waits for its Ack. False when its
// channel is not acknowledged: then an OpenChannel goes out instead and the
// frame stays queued until the gateway acknowledges the reopening. While the
// gateway is gone, frames reach nobody and go without a wait: nothing stale
// goes out when it comes back.
bool CanDispatch::SendHead() {
  {
    std::lock_guard lock(sendMutex_);
    if (stop_) return false;
    const uint32_t index = sendRead_.load(std::memory_order_relaxed);
    if (!portOpen_) {
      MoveSendRead(Next(index));
      return true;
    }
    const uint8_t channel = sendRing_[index][1];  // the byte after the start marker
    if (!Acknowledged(channel)) {
      sendEvent_.Reset();  // the Ack of the OpenChannel signals it again
      if (OpenChannelDue(channel)) ReopenChannel(channel);
      return false;
    }
    responseEvent_.Reset();  // an earlier, late Ack does not count for this frame
    WriteResendable(sendRing_[index], sendLengths_[index]);
    ++canFramesWritten_;
    lastCanFrameAt_.store(TickCount(), std::memory_order_relaxed);
    presence_.CanFrameWritten(TickCount());
    MoveSendRead(Next(index));
  }
  WaitForAck();
  return true;
}

// A time-out with none in the 500 ms before it means the gateway has lost its
// channels (restart, unplugged): every channel is opened again before its next
// frame. Time-outs in a row leave the channels as they are.
void CanDispatch::WaitForAck() {
  if (responseEvent_.Wait(kAckWaitMs)) return;
  {
    // The frame may be on the bus with its Ack lost: a late Nak never brings it back.
    std::lock_guard lock(sendMutex_);
    resendLength_ = 0;
  }
  const uint32_t now = TickCount();
  if (!hadTimeout_ || now - lastTimeout_ > kIsolatedTimeoutMs) {
    for (Channel& channel : channels_) channel.acknowledged = false;
  }
  hadTimeout_ = true;
  lastTimeout_ = now;
}

void CanDispatch::MoveSendRead(uint32_t index) {
  {
    std::lock_guard lock(queueLock_);
    sendRead_.store(index, std::memory_order_release);
  }
  sendSpaceFreed_.notify_all();
}
