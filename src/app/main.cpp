#include "app/UploaderApp.h"

int main(int argc, char** argv) {
  theApp.InitInstance(argc, argv);
  return 0;
}
