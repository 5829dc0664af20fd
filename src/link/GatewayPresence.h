#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

// Whether the gateway is there: the one answer for the link and the screen.
// The link feeds it what happens on the line, each event with the tick count
// at which it happened, and asks it when to probe an idle gateway; the screen
// feeds it the work that owns the status line (start-up, runs, queries,
// touches) and reads what to show and which node query the gateway's return
// asks for.
//
//   state       entered when                          left when
//   Gone        the port failed or hung up            the first Ack after the port is open again: Back, told
//   Back        told back; a probe ended              5 s without traffic or work, the gateway having
//                                                     answered an InfoRequest since it was last open: Probing
//   Probing     an InfoRequest went to an idle link   any answer (InfoReply, Ack, a frame on a channel): Back;
//                                                     none in the window: Rechecking (channels reopened, asked again)
//   Rechecking  the probe went unanswered             an InfoReply: the gateway had restarted, told gone and back;
//                                                     none in the window: Back, and this gateway is not probed
//                                                     again until the port is opened anew
//
// The window is 1 s, or twice the slowest InfoReply since the port opened. A
// restarted gateway answers nothing on a channel it has not opened, and has
// none open; a gateway that merely answers no InfoRequest is silent both
// times. Work that owns the status line (a run's long silent waits above all)
// is never probed: its own answers tell that the gateway is there.
//
// News (gone, back) is queued under the lock in the order of the changes and
// told by Tell, which the link calls outside its send mutex: whichever thread
// tells, the listener hears gone before back.
class GatewayPresence {
 public:
  enum class State { kGone, kBack, kProbing, kRechecking };
  enum class Step { kNone, kProbe, kRecheck };  // what the link writes now

  struct News {
    bool present = true;
    std::string why;          // the system's words for why it went
    bool showNotice = false;  // gone, and nothing owns the status line
  };
  using Listener = std::function<void(const News&)>;

  static constexpr uint32_t kProbeIdleMs = 5000;    // an idle link asks for the info words
  static constexpr uint32_t kProbeAnswerMs = 1000;  // the least window for their answer
  static constexpr const char* kSilentWhy = "the gateway did not answer";

  // Set before the link opens.
  void SetListener(Listener listener) { listener_ = std::move(listener); }

  // ---- The link ---------------------------------------------------------------
  void Lost(const std::string& why);
  // The port is open again, its channels reopened and the info words asked.
  void Reopened();
  void Acknowledged(uint32_t now);
  // A data packet on an open channel other than an InfoReply.
  void Heard(uint32_t now);
  void InfoAsked(uint32_t now);
  void InfoAnswered(uint32_t now);
  void CanFrameWritten(uint32_t now);
  // The send thread, with nothing to write; quiet when no channel awaits its
  // reopening.
  Step Look(uint32_t now, bool quiet);
  // How long the send thread may sleep before it looks again.
  uint32_t NextLookMs(uint32_t now) const;
  // Tells the listener the queued news, oldest first.
  void Tell();

  // ---- The screen -------------------------------------------------------------
  State Now() const;
  bool Present() const;
  std::string Why() const;
  // Work takes the status line; several may hold it at once. Start-up holds
  // it from the beginning.
  void Take();
  // Work lets go. True when the gateway is gone and the notice is not on the
  // line: the caller shows it, then lets go again.
  bool Release();

  // The gateway came back since the last node query began, and no query
  // after a return waits for its pause.
  bool RequeryWanted() const;
  // A query begins; true when the gateway came back since the last one began,
  // so that its info words are read again. Every query covers the returns
  // before it.
  bool QueryBegins();
  // The query a return started runs: touches meanwhile are told why nothing happens.
  void SetRequerying(bool requerying);
  bool Requerying() const;
  // At the end of work: true once when the gateway came back meanwhile, and a
  // query is to follow after its pause.
  bool FollowUpDue();
  // The pause is over; true when the query is still wanted.
  bool FollowUpBegins();

 private:
  void Enter(State state, uint32_t now);
  void TellGone(const std::string& why);
  void TellBack();
  uint32_t WindowMs() const;
  bool Probeable() const;

  mutable std::mutex mutex_;
  std::mutex tellMutex_;  // one teller at a time, so the order holds
  Listener listener_;
  std::deque<News> news_;

  State state_ = State::kBack;
  uint32_t since_ = 0;        // when the state was entered
  uint32_t lastTraffic_ = 0;  // the last CAN frame, probe or end of work
  std::string why_;
  bool reopened_ = false;   // gone, the port open again: the next Ack tells it back
  bool answering_ = false;  // answered an InfoRequest since the port opened
  bool asked_ = false;      // an InfoRequest awaits its answer
  uint32_t askedAt_ = 0;
  uint32_t slowestAnswerMs_ = 0;

  int owners_ = 1;  // start-up holds the line until the screen is up
  bool shown_ = false;  // the notice is on the line, no owner came since
  bool returned_ = false;
  bool followUpDue_ = false;
  bool requerying_ = false;
};
