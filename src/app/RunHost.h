#pragma once

// What a run asks of the main screen besides what every engine may ask of it
// (ProgramScreen): the node query, the list and its buttons, and the screen's
// ownership.
class RunHost {
 public:
  virtual ~RunHost() = default;

  // Asks every node again, so the next selection sees fresh program numbers.
  virtual void QueryNodes() = 0;
  virtual void LoadProgramList() = 0;
  virtual void HideNodeButtons() = 0;
  // False when a touch, a node query or Exit owns the screen.
  virtual bool ClaimWork() = 0;
  // The last call of every run: the final status (none keeps the line as it
  // is), and the screen handed back.
  virtual void FinishWork(const char* finalStatus) = 0;
};
