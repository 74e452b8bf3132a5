/* A host built against the installed library only: it lists the playback
   endpoints and drives the virtual endpoint's volume through the library. */
#include <stdio.h>
#include <veltosound.h>

static int failures = 0;

static void expect(int ok, const char* what) {
  printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

int main(void) {
  int count = -1;
  int status = -1;
  char name[256];
  char id[256];

  expect(GetNumberPlayDevices(&count) == 0 && count > 0, "playback endpoints are listed");
  expect(GetPlayBackDevice(0, name, id) == 0, "the first playback endpoint has a name and an id");
  expect(OpenVirtual_1(id) == 0, "its id binds the virtual endpoint");
  expect(SetVirtualVolume(50, &status) == 50 && status == 0, "virtual volume set to 50");
  status = -1;
  expect(GetVirtualVolume(&status) == 50 && status == 0, "virtual volume reads back 50");
  expect(CloseVirtual_1() == 0, "virtual endpoint released");
  status = -1;
  expect(GetVirtualVolume(&status) == 0 && status == 1, "nothing bound after closing");
  printf("%d passed, %d failed\n", 7 - failures, failures);
  return failures == 0 ? 0 : 1;
}
