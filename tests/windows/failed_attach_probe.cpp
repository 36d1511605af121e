// A DLL whose DllMain refuses the process attach, built like Vantrel.dll.
// It writes what reaches it into the process's environment variable
// VANTREL_ATTACH_LOG, which survives the DLL: "A" for each attach that
// DllMain sees, "D" for each detach, "X" when its static object is
// destroyed. failed_attach_test.cpp loads it.
#include <windows.h>

#include <string>

namespace {

void Log(const char* what) {
  char buffer[64] = {0};
  const DWORD length =
      GetEnvironmentVariableA("VANTREL_ATTACH_LOG", buffer, sizeof buffer);
  std::string log(buffer, length < sizeof buffer ? length : 0);
  log += what;
  SetEnvironmentVariableA("VANTREL_ATTACH_LOG", log.c_str());
}

struct Constant {
  Constant() : text("a static object with a destructor") {}
  ~Constant() { Log("X"); }
  std::string text;
};

Constant constant;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    Log("A");
    return FALSE;
  }
  if (reason == DLL_PROCESS_DETACH) Log("D");
  return TRUE;
}
