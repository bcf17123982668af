// The demo program: the scene of CDemoApp on the application base.
#include "shell/demo/demo_app.h"

int main() {
  CDemoApp app;
  return D3DAppMain(&app, GetModuleHandle(nullptr));
}
