// Loads a DLL whose DllMain refuses the process attach: the load must fail,
// DllMain must have seen the attach once and the DLL's static object must
// have been destroyed exactly once, with no detach after that. The
// project's start-up layer sends DllMain nothing more ("AX"); Visual C++'s
// own start-up code unwinds a refused attach by sending DllMain the detach
// before the static objects are destroyed ("ADX"). Either way, the attach
// count keeps a detach that a loader may send afterwards from running
// DllMain or the destructors again.
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
  if (std::strcmp(log, "AX") != 0 && std::strcmp(log, "ADX") != 0) {
    std::printf(
        "after the refused attach the DLL saw \"%s\", expected \"AX\" or "
        "\"ADX\" (A attach, D detach, X static object destroyed)\n",
        log);
    return 1;
  }
  std::printf("ok: \"%s\"\n", log);
  return 0;
}
