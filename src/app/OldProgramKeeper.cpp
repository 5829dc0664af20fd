#include "app/OldProgramKeeper.h"

#include <ctime>

#include "atmel/FirmwareImage.h"
#include "console/ProgramScreen.h"
#include "firmware/HexFileAccess.h"
#include "firmware/KeptProgram.h"

bool OldProgramKeeper::Keep(const FirmwareImage& old) {
  const KeptProgram::Saved saved =
      KeptProgram::Save(KeptProgram::NameFor(program_, record_.label, record_.slot, std::time(nullptr)), old.Bytes());
  if (!saved.reason.empty()) return GoOnWithout("the USB drive could not take it: " + saved.reason);
  screen_.Log(("Old program kept in " + HexFileDosPath(saved.name)).c_str());
  record_.kept = saved.name;
  recordAgain_();
  return true;
}

bool OldProgramKeeper::GoOnUnread() { return GoOnWithout("the node did not answer when asked for it"); }

// Nothing is erased yet: NO leaves the node with the program it runs.
bool OldProgramKeeper::GoOnWithout(const std::string& why) {
  screen_.Log(("WARNING: the old program could not be kept: " + why).c_str());
  const bool yes = screen_.AskYesNo("WARNING", ("The program the node runs now could not be kept: " + why +
                                                ". Would you like to program the node without keeping it?")
                                                   .c_str());
  screen_.Log(yes ? "Programming without keeping the old program" : "Programming stopped, nothing was erased");
  return yes;
}
