// The engine against a node answering from its own thread, as the link's
// receive thread does, on the real clock: the flags and the error text must
// cross threads cleanly (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "FakeScreen.h"
#include "TempDosDevices.h"
#include "can/ReplyRouting.h"
#include "st10/St10Programmer.h"

namespace {

class ThreadedNode {
 public:
  ThreadedNode(St10Programmer& programmer, int failingLine) : programmer_(programmer), failingLine_(failingLine) {}
  ~ThreadedNode() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  void Receive(const CanMessage& message) {
    {
      std::lock_guard lock(mutex_);
      inbox_.push_back(message);
    }
    wake_.notify_one();
  }

  std::string Streamed() {
    std::lock_guard lock(mutex_);
    return streamed_;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || !inbox_.empty(); });
      if (stop_) return;
      CanMessage message = inbox_.front();
      inbox_.pop_front();
      Handle(std::string(reinterpret_cast<const char*>(message.data), message.length));
    }
  }

  void Handle(const std::string& text) {
    if (text == "<Start>") return Reply({0xD1, 0x01});
    if (text == "<Erase>") return Reply({0xD2, 0x01});
    if (text == "<Prog>") return Reply({0xD3, 0x01});
    if (text == "<Reset>") return Reply({0xD6, 0x01});
    streamed_ += text;
    if (text.back() != '\n') return;
    if (++lines_ == failingLine_) return Reply({0x00, 0x40, 0x01, 0x2C});
    Reply({0xD4, 0x01});
  }

  void Reply(std::initializer_list<uint8_t> data) {
    CanMessage reply{kSt10ReplyIdentifier, CanMessage::kExtendedFlag, static_cast<uint8_t>(data.size()), {}};
    std::copy(data.begin(), data.end(), reply.data);
    programmer_.OnReply(reply);
  }

  St10Programmer& programmer_;
  const int failingLine_;
  int lines_ = 0;
  std::string streamed_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<CanMessage> inbox_;
  bool stop_ = false;
  std::thread thread_{[this] { Run(); }};
};

class St10ThreadTest : public ::testing::Test {
 protected:
  bool Program(int lineCount, int failingLine) {
    std::string content;
    for (int i = 0; i < lineCount; ++i) content += ":00000001FF\r\n";
    drives.WriteFile("e:/Pinecroft/P149.hex", content);
    ThreadedNode node(programmer, failingLine);
    screen.onSend = [&node](const CanMessage& message) { node.Receive(message); };
    bool result = programmer.Program("P149.hex");
    streamed = node.Streamed();
    screen.onSend = nullptr;
    return result;
  }

  TempDosDevices drives;
  FakeScreen screen;
  St10Programmer programmer;
  std::string streamed;
};

TEST_F(St10ThreadTest, StreamsEveryLineAcceptedByAnotherThread) {
  EXPECT_TRUE(Program(20, 0));
  EXPECT_EQ(streamed.size(), 20 * std::strlen(":00000001FF\n"));
  EXPECT_EQ(screen.Messages().back().title, "Programming Complete");
}

TEST_F(St10ThreadTest, ErrorTextFromAnotherThreadArrivesWhole) {
  EXPECT_FALSE(Program(5, 3));
  EXPECT_EQ(streamed.size(), 3 * std::strlen(":00000001FF\n"));
  ASSERT_FALSE(screen.Messages().empty());
  EXPECT_EQ(screen.Messages()[0].text, "Checksum Error Line: 300");
}

}  // namespace
