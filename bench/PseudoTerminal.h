#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The bench's end of the serial line: a pseudo-terminal in raw mode whose
// slave is reachable through a symbolic link (the dosdevices "com1"). Output
// that the host does not read yet waits in a buffer, so the bench never
// blocks on a slow host.
class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Creates the pty and links its slave at linkPath (replacing what is there).
  bool Open(const std::string& linkPath, std::string& error);
  // After the host closed its end, a fresh pty under the same link: a tty
  // that the host held exclusively cannot be opened again.
  bool Renew(std::string& error);
  // The adapter pulled out: the host's end hangs up, the link goes and what
  // is written meanwhile is lost. Replug makes a new device: a fresh pty, the
  // link pointed at it.
  void Unplug();
  bool Replug(std::string& error);
  bool Plugged() const { return master_ >= 0; }

  int fd() const { return master_; }
  const std::string& slavePath() const { return slave_; }
  // Reads what is there; -1 once the host has closed its end.
  long Read(uint8_t* bytes, size_t capacity);
  void Write(const uint8_t* bytes, size_t count);
  // Writes out what the host can take now; true when nothing waits.
  bool Flush();
  bool HasPending() const { return !pending_.empty(); }

 private:
  bool Create(std::string& error);
  bool Link(std::string& error);
  void RemoveLink();
  void Close();

  static constexpr size_t kMaxPending = 1 << 20;

  int master_ = -1;
  std::string link_;
  std::string slave_;
  std::string pending_;
};
