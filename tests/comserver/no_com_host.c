/* A host that never initialises COM, as a console program or a language
 * runtime may: it binds through the DLL, uses every control from the binding
 * thread and from a second thread without COM, closes with restore and binds
 * again. The test server's report says whether any call reached it from a
 * thread in no apartment.
 *
 * usage: no_com_host.exe PLAYBACK MIC LINE [PLAYBACK MIC LINE ...]
 * ("-" for an empty search text). Prints what each step answered; exits 1
 * when the second thread or the second binding answered otherwise. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "veltosound.h"

typedef int(VELTO_CALL* IntGetter)(int* status);
typedef int(VELTO_CALL* IntSetter)(int value, int* status);
typedef int(VELTO_CALL* LevelGetter)(double* level, int* status);
typedef int(VELTO_CALL* LevelSetter)(double level, int* status);

static const struct {
  IntGetter get;
  IntSetter set;
} kIntControls[] = {
    {GetMasterVolume, SetMasterVolume},
    {GetLinePlayBack, SetLinePlayBack},
    {GetMicPlayBack, SetMicPlayBack},
    {GetMicRecordVolume, SetMicRecordVolume},
    {GetLineRecordVolume, SetLineRecordVolume},
    {GetVirtualVolume, SetVirtualVolume},
    {GetMasterMute, SetMasterMute},
    {GetLinePlayBackMute, SetLinePlayBackMute},
    {GetMicPlayBackMute, SetMicPlayBackMute},
    {GetMicBoost, SetMicBoost},
    {GetNoMonitor, SetNoMonitor},
    {GetVirtualMute, SetVirtualMute},
    {GetMicSliderBoost, SetMicSliderBoost},
};

static const struct {
  LevelGetter get;
  LevelSetter set;
} kToneControls[] = {{GetBass, SetBass}, {GetTreble, SetTreble}, {GetMidRange, SetMidRange}};

/* Reads every control and writes back what it read; the statuses, in order. */
static DWORD WINAPI UseEveryControl(void* statuses) {
  char* out = (char*)statuses;
  size_t i;
  int status = -1, min = 0, max = 0, step = 0;
  double low = 0, high = 0, by = 0, level = 0;
  out[0] = '\0';
  for (i = 0; i < sizeof kIntControls / sizeof kIntControls[0]; ++i) {
    const int value = kIntControls[i].get(&status);
    sprintf(out + strlen(out), "%d", status);
    kIntControls[i].set(value, &status);
    sprintf(out + strlen(out), "%d ", status);
  }
  for (i = 0; i < sizeof kToneControls / sizeof kToneControls[0]; ++i) {
    kToneControls[i].get(&level, &status);
    sprintf(out + strlen(out), "%d", status);
    kToneControls[i].set(level, &status);
    sprintf(out + strlen(out), "%d ", status);
  }
  sprintf(out + strlen(out), "%d ", GetEQRange(&low, &high, &by));
  GetMicSliderDetails(&status, &min, &max, &step);
  sprintf(out + strlen(out), "%d", status);
  return 0;
}

static const char* Text(const char* arg) { return strcmp(arg, "-") == 0 ? "" : arg; }

int main(int argc, char** argv) {
  int failed = 0, i;
  if (argc < 4 || (argc - 1) % 3 != 0) {
    fprintf(stderr, "usage: no_com_host.exe PLAYBACK MIC LINE [PLAYBACK MIC LINE ...]\n");
    return 2;
  }
  for (i = 1; i + 2 < argc; i += 3) {
    const char *playback = Text(argv[i]), *mic = Text(argv[i + 1]), *line = Text(argv[i + 2]);
    char here[256], there[256];
    HANDLE thread;
    const int opened = OpenSoundCard(playback, mic, line);
    const int virtualOpened = OpenVirtual_1(playback);
    int again;
    UseEveryControl(here);
    thread = CreateThread(NULL, 0, UseEveryControl, there, 0, NULL);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseVirtual_1();
    CloseSoundCard(1);
    again = OpenSoundCard(playback, mic, line);
    CloseSoundCard(1);
    printf("%s|%s|%s: open %d, virtual %d, controls %s, again %d\n", argv[i], argv[i + 1],
           argv[i + 2], opened, virtualOpened, here, again);
    if (strcmp(here, there) != 0) {
      printf("  FAIL the second thread answered %s\n", there);
      failed = 1;
    }
    if (again != opened) {
      printf("  FAIL bound again, it answered %d\n", again);
      failed = 1;
    }
  }
  return failed;
}
