#include "XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

XvfbServer::XvfbServer(int width, int height) : width_(width), height_(height) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  std::string fd = std::to_string(pipeFds[1]);
  std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  // Xvfb writes its display number there once it serves.
  std::string number;
  char c;
  pollfd watched{pipeFds[0], POLLIN, 0};
  while (pid_ > 0 && poll(&watched, 1, 10000) > 0 && read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
  close(pipeFds[0]);
  if (!number.empty()) name_ = ":" + number;
}

XvfbServer::~XvfbServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

Surface XvfbServer::Capture() const {
  ::Display* server = Running() ? XOpenDisplay(name_.c_str()) : nullptr;
  if (!server) return Surface(0, 0);
  XImage* image = XGetImage(server, DefaultRootWindow(server), 0, 0, width_, height_, AllPlanes, ZPixmap);
  Surface screen(image ? width_ : 0, image ? height_ : 0);
  for (int y = 0; y < screen.Height(); ++y)
    for (int x = 0; x < screen.Width(); ++x) {
      unsigned long pixel = XGetPixel(image, x, y);  // 0xRRGGBB on a 24-bit screen
      screen.SetPixel(x, y, RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF));
    }
  if (image) XDestroyImage(image);
  XCloseDisplay(server);
  return screen;
}
