// Loads a DLL whose DllMain refuses the process attach: the load must fail,
// DllMain must have seen the attach once, the DLL's static object must have
// been destroyed exactly once, and DllMain must not see a detach for the
// attach it refused (the start-up code's attach count; a loader may send
// that detach all the same).
#include <windows.h>

#include <cstdio>
#include <cstring>

int main() {
  SetEnvironmentVariableA("VANTREL_ATTACH_LOG", "");
  HMODULE module = LoadLibraryA(VANTREL_FAILED_ATTACH_PROBE);
  char log[64] = {0};
  GetEnvironmentVariableA("VANTREL_ATTACH_LOG", log, sizeof log);
  if (module != nullptr) {
    std::printf("the DLL loaded although its DllMain refused the attach\n");
    FreeLibrary(module);
    return 1;
  }
  if (std::strcmp(log, "AX") != 0) {
    std::printf(
        "after the refused attach the DLL saw \"%s\", expected \"AX\" "
        "(A attach, X static object destroyed, D detach)\n",
        log);
    return 1;
  }
  std::printf("ok: \"%s\"\n", log);
  return 0;
}
