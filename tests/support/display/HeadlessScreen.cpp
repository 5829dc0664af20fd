#include "HeadlessScreen.h"

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "display/ControlChannel.h"
#include "display/Dialog.h"
#include "display/HeadlessDisplay.h"
#include "display/WindowManager.h"

namespace {

std::string MakeFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "screen-XXXXXX").string();
  return mkdtemp(pattern.data()) ? pattern : std::string();
}

}  // namespace

HeadlessScreen::HeadlessScreen() : folder_(MakeFolder()), control_(Path("control")) {
  auto display = std::make_unique<HeadlessDisplay>();
  display->SetControl(std::make_unique<ControlChannel>(Path("control")));
  manager_ = std::make_unique<WindowManager>(std::move(display));
  WindowManager::Install(manager_.get());
}

HeadlessScreen::~HeadlessScreen() {
  WindowManager::Install(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

int HeadlessScreen::RunScripted(Dialog& window, const std::function<void()>& script) const {
  std::atomic<bool> ended{false};
  std::thread driver([&] {
    script();
    for (int i = 0; i < 400 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!ended) window.EndDialog(-1);
  });
  int result = window.DoModal();
  ended = true;
  driver.join();
  return result;
}
