#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/CanMessage.h"
#include "link/ChannelTable.h"
#include "link/FrameReception.h"
#include "link/GatewayPresence.h"
#include "link/LineWriter.h"
#include "link/ReceiveRing.h"
#include "link/SendRing.h"
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
// The rules live in its parts (ChannelTable, SendRing, LineWriter with the
// frame in flight, ReceiveRing, FrameReception); the link keeps the port,
// the threads and the send mutex, and wires the parts together.
class CanDispatch {
 public:
  static constexpr size_t kReadChunk = 1024;
  static constexpr uint32_t kAckWaitMs = 200;
  static constexpr uint32_t kShutdownNudges = 101;
  static constexpr uint32_t kReconnectMs = 1000;  // between attempts to open a port that went away

  static constexpr const char* kSendEventName = "CDSEND";
  static constexpr const char* kReceiveEventName = "CDRX";
  static constexpr const char* kResponseEventName = "CDRESP";
  static constexpr const char* kReceiveDoneEventName = "CDONRXDONE";
  static constexpr const char* kSendMutexName = "CANDispatchSendMutex";

  using Callback = ChannelTable::Callback;

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
  // send ring stayed full for SendRing::kFullWaitMs.
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
  // The faults the line met since the link was made: the Naks we wrote for
  // spoiled frames. An answer around one may come twice.
  uint32_t LineFaults() const;
  // True while the gateway has acknowledged the channel since it was last
  // (re)opened; for diagnostics.
  bool Acknowledged(uint8_t channel) const;
  // Stops the three threads. Also run by the destructor.
  void Shutdown();

 private:
  // A link thread with the flag that Shutdown watches while nudging it.
  struct Worker {
    std::thread thread;
    std::atomic<bool> running{false};
  };

  void Start(Worker& worker, void (CanDispatch::*body)());
  void Stop(Worker& worker, Event* nudge);

  void ReaderThread();
  void LoseGateway();
  void Reconnect();
  bool Reattach();

  void ReceiveThread();
  void HandleNext();

  void SendThread();
  uint32_t SendWaitMs(bool held);
  void LookAfterTheGateway();
  bool SendHead();
  void WaitForAck();

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
  std::mutex sendMutex_;  // kSendMutexName: one frame at a time on the line

  // The parts, each with its own rules; the link wires them together.
  ChannelTable channels_;
  SendRing sendRing_{sendEvent_};
  LineWriter writer_{*port_, channels_, presence_};  // under sendMutex_
  ReceiveRing receiveRing_{receiveEvent_, receiveDoneEvent_};
  FrameReception reception_{{writer_, channels_, sendRing_, presence_, sendEvent_, responseEvent_}};  // under sendMutex_
  uint8_t readBuffer_[kReadChunk] = {};  // reader thread only

  Worker reader_;
  Worker receiver_;
  Worker sender_;
};
