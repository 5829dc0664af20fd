#include "link/CanDispatch.h"

#include <algorithm>

#include "link/FrameCodec.h"
#include "system/Clock.h"
#include "system/PosixSerialPort.h"

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
  const uint8_t number = channels_.Create(type, callback);
  std::lock_guard lock(sendMutex_);
  writer_.Reopen(number);
  return number;
}

bool CanDispatch::QueueCanFrame(uint8_t channel, CanMessage& message, const uint8_t* data) {
  if (!channels_.Valid(channel)) return false;
  if (!(message.flags & CanMessage::kExtendedFlag)) message.identifier |= frame::kStandardMarker;
  return sendRing_.Push(channel, message.identifier, data, message.length);
}

void CanDispatch::GetLastFrame(uint8_t channel, CanMessage& message) {
  if (channels_.Valid(channel)) channels_.CopyLast(channel, message);
}

void CanDispatch::RequestInfo() {
  std::lock_guard lock(sendMutex_);
  writer_.WriteInfoRequest();
}

std::array<uint32_t, 5> CanDispatch::GetInfo() const { return reception_.Info(); }

uint32_t CanDispatch::LastCanFrameWritten() const {
  return sendRing_.Empty() ? writer_.LastCanFrameAt() : TickCount();
}

uint32_t CanDispatch::LineFaults() const { return writer_.LineFaults(); }

bool CanDispatch::Acknowledged(uint8_t channel) const { return channels_.Acknowledged(channel); }

void CanDispatch::Shutdown() {
  stop_ = true;
  responseEvent_.Set();  // cuts a pending Ack wait short
  Stop(sender_, &sendEvent_);
  Stop(receiver_, &receiveEvent_);
  reconnectWake_.Set();
  port_->Wake();  // the reader sleeps in its read until bytes come
  Stop(reader_, nullptr);
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
    for (int i = 0; i < count; ++i) receiveRing_.Collect(readBuffer_[i]);
  }
}

// The port failed or hung up: an unplugged adapter, a loose cable. A gateway
// that comes back has forgotten the channels, so each is opened again.
void CanDispatch::LoseGateway() {
  {
    std::lock_guard lock(sendMutex_);
    port_->Close();
    portOpen_ = false;
    writer_.Settle();
    channels_.Forget();
    presence_.Lost(port_->ErrorText());
  }
  receiveRing_.DropPartial();
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
  writer_.ReopenAll();
  writer_.WriteInfoRequest();
  presence_.Reopened();
  sendEvent_.Set();  // the sender watches the reopenings' Acks
  return true;
}

// ---- Receive thread: decode, answer, hand CAN frames to the channels -------

void CanDispatch::ReceiveThread() {
  while (!stop_) {
    // Reset before the ring is looked at: a frame completed meanwhile signals again.
    receiveEvent_.Reset();
    while (!stop_ && !receiveRing_.Empty()) HandleNext();
    if (!stop_) receiveEvent_.Wait();
  }
}

void CanDispatch::HandleNext() {
  {
    std::lock_guard lock(sendMutex_);
    if (stop_) return;
    reception_.Handle(receiveRing_.Front(), receiveRing_.FrontLength());
  }
  presence_.Tell();
  receiveRing_.Pop();
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
    while (!held && !stop_ && !sendRing_.Empty()) held = !SendHead();
  }
}

// The Ack of an OpenChannel may be lost too: a held frame, or a channel
// reopened with nothing queued, asks again. An idle link probes the gateway
// when its presence says so; nothing else wakes the thread.
uint32_t CanDispatch::SendWaitMs(bool held) {
  const uint32_t look = presence_.NextLookMs(TickCount());
  std::lock_guard lock(sendMutex_);
  return held || channels_.AnyOpening() ? std::min(ChannelTable::kReopenRetryMs, look) : look;
}

// Nothing was queued for a while.
void CanDispatch::LookAfterTheGateway() {
  std::lock_guard lock(sendMutex_);
  if (!portOpen_) return;
  const bool quiet = !writer_.ReopenStalled() && sendRing_.Empty();
  switch (presence_.Look(TickCount(), quiet)) {
    case GatewayPresence::Step::kProbe:
      writer_.WriteInfoRequest();
      break;
    case GatewayPresence::Step::kRecheck:
      // A gateway that restarted behind a port that stayed open answers
      // nothing on the channels it forgot.
      writer_.ReopenAll();
      writer_.WriteInfoRequest();
      break;
    case GatewayPresence::Step::kNone:
      break;
  }
}

// Writes the head frame and waits for its Ack. False when its channel is not
// acknowledged: then an OpenChannel goes out instead and the frame stays
// queued until the gateway acknowledges the reopening. While the gateway is
// gone, frames reach nobody and go without a wait: nothing stale goes out
// when it comes back.
bool CanDispatch::SendHead() {
  {
    std::lock_guard lock(sendMutex_);
    if (stop_) return false;
    if (!portOpen_) {
      sendRing_.Pop();
      return true;
    }
    const uint8_t channel = sendRing_.HeadChannel();
    if (!channels_.Acknowledged(channel)) {
      sendEvent_.Reset();  // the Ack of the OpenChannel signals it again
      if (channels_.OpenDue(channel, TickCount())) writer_.Reopen(channel);
      return false;
    }
    responseEvent_.Reset();  // an earlier, late Ack does not count for this frame
    writer_.WriteCanFrame(sendRing_.Head(), sendRing_.HeadLength());
    sendRing_.Pop();
  }
  WaitForAck();
  return true;
}

void CanDispatch::WaitForAck() {
  if (responseEvent_.Wait(kAckWaitMs)) return;
  {
    // The frame may be on the bus with its Ack lost: a late Nak never brings it back.
    std::lock_guard lock(sendMutex_);
    writer_.Settle();
  }
  channels_.AckTimedOut(TickCount());
}
