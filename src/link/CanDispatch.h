#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/CanMessage.h"
#include "link/FrameCodec.h"
#include "link/GatewayCopies.h"
#include "link/GatewayPresence.h"
#include "system/Event.h"
#include "system/SerialPort.h"

// The one owner of the gateway's serial line. A reader thread collects frames
// into the receive ring, a receive thread decodes and answers them and hands
// CAN frames to the channel callbacks, and a send thread writes the frames
// queued in the send ring, each after the gateway acknowledged the previous
// one (or gave up on it after 200 ms). When the port fails or hangs up, the
// reader closes it and opens it again about once a second until the gateway
// is back, then opens the channels again and asks for the info words. Whether
// the gateway is there is for GatewayPresence to say; the link feeds it.
class CanDispatch {
 public:
  static constexpr uint32_t kRingEntries = 50;
  static constexpr uint8_t kChannels = 10;
  static constexpr size_t kReadChunk = 1024;
  static constexpr uint32_t kCollectLimit = 249;  // a longer frame is cut here
  static constexpr uint32_t kHandOffMs = 5;       // the reader's wait for the receive thread per frame
  static constexpr uint32_t kAckWaitMs = 200;
  static constexpr uint32_t kIsolatedTimeoutMs = 500;
  static constexpr uint32_t kReopenRetryMs = 500;  // an unanswered OpenChannel goes again
  static constexpr uint32_t kQueueFullWaitMs = 500;  // how long a sender waits for a free send ring entry
  static constexpr uint32_t kShutdownNudges = 101;
  static constexpr uint32_t kReconnectMs = 1000;  // between attempts to open a port that went away

  static constexpr const char* kSendEventName = "CDSEND";
  static constexpr const char* kReceiveEventName = "CDRX";
  static constexpr const char* kResponseEventName = "CDRESP";
  static constexpr const char* kReceiveDoneEventName = "CDONRXDONE";
  static constexpr const char* kSendMutexName = "CANDispatchSendMutex";

  using Callback = void (*)(int);

  // On the console's serial port.
  CanDispatch();
  // On any port, for instance a fake one in tests.
  explicit CanDispatch(std::unique_ptr<SerialPort> port);
  virtual ~CanDispatch();
  CanDispatch(const CanDispatch&) = delete;
  CanDispatch& operator=(const CanDispatch&) = delete;

  // Its listener is set before Open. News is told on the link's threads
  // (on the caller's in Open when the port is missing from the start), never
  // under the send mutex; the listener must not wait on the link.
  GatewayPresence& Presence() { return presence_; }
  // Opens the port and starts the threads. A port that cannot be opened
  // and configured is tried again like one that went away; until then sends
  // reach nobody. Only the first call does anything.
  void Open(const char* portName, uint32_t baud);
  // The new channel's number (1 to 10), 0 when all are in use. Writes its
  // OpenChannel at once.
  uint8_t CreateChannel(uint8_t type, Callback callback);
  // Sets bit 29 of a standard message's identifier (in the caller's record)
  // and queues the frame. False for a channel that is not valid, or when the
  // send ring stayed full for kQueueFullWaitMs.
  bool QueueCanFrame(uint8_t channel, CanMessage& message, const uint8_t* data);
  // Copies identifier, length and data of the channel's last received frame;
  // the caller's flags and time stay. Nothing for a channel that is not valid.
  void GetLastFrame(uint8_t channel, CanMessage& message);
  // Writes an InfoRequest at once. A Nak brings it back only when no frame
  // written before it still awaits its Ack.
  void RequestInfo();
  // The five words of the last accepted InfoReply; zeros before the first.
  std::array<uint32_t, 5> GetInfo() const;
  // The tick count at which a CAN frame last went to the gateway, 0 before
  // the first, and now while queued frames still wait: a frame waits in the
  // ring for the Ack of the one before it, or for its channel's reopening.
  uint32_t LastCanFrameWritten() const;
  // True while the gateway has acknowledged the channel since it was last
  // (re)opened; for diagnostics.
  bool Acknowledged(uint8_t channel) const;
  // Stops the three threads. Also run by the destructor.
  void Shutdown();

 private:
  struct Channel {
    std::atomic<bool> inUse{false};
    std::atomic<bool> acknowledged{false};
    bool opening = false;  // an OpenChannel is out and unanswered; under sendMutex_
    uint32_t openedAt = 0;  // when it went
    uint8_t type = 0;
    Callback callback = nullptr;
    uint8_t number = 0;
    CanMessage lastFrame;
  };

  // A link thread with the flag that Shutdown watches while nudging it.
  struct Worker {
    std::thread thread;
    std::atomic<bool> running{false};
  };

  static uint32_t Next(uint32_t index) { return (index + 1) % kRingEntries; }
  static uint32_t Previous(uint32_t index) { return (index + kRingEntries - 1) % kRingEntries; }

  int IndexOf(uint8_t number) const;  // -1 unless the channel is valid
  Channel* ValidChannel(uint8_t number);
  void Start(Worker& worker, void (CanDispatch::*body)());
  void Stop(Worker& worker, Event* nudge);
  void Write(const uint8_t* bytes, size_t length);
  void WriteResendable(const uint8_t* bytes, size_t length);
  void WriteInfoRequest();
  void ReopenChannel(uint8_t number);
  bool OpenChannelDue(uint8_t number) const;

  void ReaderThread();
  void LoseGateway();
  void Reconnect();
  bool Reattach();
  void Collect(uint8_t byte);
  void CompleteFrame();

  void ReceiveThread();
  void HandleNext();
  void HandleFrame(const uint8_t* frame, size_t length);
  void AnswerSpoiledFrame();
  void ResendRefusedFrame();
  void HandleData(Channel& channel, const uint8_t* packet, size_t length, bool handOn);
  bool StoreFrame(Channel& channel, const uint8_t* packet, size_t length);
  void OnReopen(Channel& channel);
  void StepBack();
  void Acknowledge(uint8_t channel);

  void SendThread();
  uint32_t SendWaitMs(bool held);
  void LookAfterTheGateway();
  bool ReopenDueChannels();
  bool Reopening() const;
  void ReopenAll();
  bool SendHead();
  void WaitForAck();
  void MoveSendRead(uint32_t index);

  std::unique_ptr<SerialPort> port_;
  std::string portName_;
  uint32_t baud_ = 0;
  bool opened_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> portOpen_{false};  // changed under sendMutex_
  GatewayPresence presence_;

  Event sendEvent_{kSendEventName};
  Event receiveEvent_{kReceiveEventName};
  Event responseEvent_{kResponseEventName};
  Event receiveDoneEvent_{kReceiveDoneEventName};
  Event reconnectWake_{"CDRECONNECT"};  // cuts the reader's wait between attempts short
  std::mutex queueLock_;
  std::condition_variable sendSpaceFreed_;
  std::mutex sendMutex_;   // kSendMutexName: one frame at a time on the line
  std::mutex frameLock_;   // the channels' last frames

  std::array<std::atomic<uint32_t>, 5> info_{};

  uint8_t sendRing_[kRingEntries][frame::kRingEntry] = {};
  uint32_t sendLengths_[kRingEntries] = {};  // 0: the entry never held a frame
  std::atomic<uint32_t> sendWrite_{0};
  std::atomic<uint32_t> sendRead_{0};
  bool hadTimeout_ = false;   // send thread only
  uint32_t lastTimeout_ = 0;  // send thread only
  // What a Nak from the gateway asks for again: the CAN frame whose Ack is
  // awaited, or a later OpenChannel or InfoRequest; empty once answered. A
  // frame the gateway acknowledged is on the bus and never goes twice.
  uint8_t resend_[frame::kRingEntry] = {};  // under sendMutex_
  size_t resendLength_ = 0;
  uint32_t canFramesWritten_ = 0;  // under sendMutex_
  std::atomic<uint32_t> lastCanFrameAt_{0};

  uint8_t receiveRing_[kRingEntries][frame::kRingEntry] = {};
  uint32_t receiveLengths_[kRingEntries] = {};
  std::atomic<uint32_t> receiveWrite_{0};
  std::atomic<uint32_t> receiveRead_{0};
  bool inFrame_ = false;                 // reader thread only
  uint8_t readBuffer_[kReadChunk] = {};  // reader thread only
  uint8_t packet_[frame::kRingEntry] = {};  // receive thread only
  GatewayCopies copies_;  // receive thread only

  Channel channels_[kChannels];

  Worker reader_;
  Worker receiver_;
  Worker sender_;
};
