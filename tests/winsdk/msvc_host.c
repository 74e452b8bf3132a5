/* A host as Visual Studio users build one: compiled in MSVC mode with the
   public header alone and linked by lld-link against VeltoSound.lib. There
   is no MSVC C runtime on Debian, so it has none: its entry point calls
   kernel32 only. Each export family is called with nothing bound, where every
   answer is fixed: an argument laid out wrongly shows as a wrong answer, a
   wrong stack cleanup as a crash. Exits with the number of failures. */
#include <veltosound.h>

__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long handle);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int code);

/* Referenced by MSVC-mode code that uses floating point; normally the C
   runtime's. */
int _fltused = 1;

/* Every export, in ordinal order: each decorated name must resolve through
   VeltoSound.lib for the host to link at all. */
typedef void (*AnyExport)(void);
/* clang-format off */
const AnyExport kEveryExport[] = {
    (AnyExport)GetMasterVolume, (AnyExport)SetMasterVolume, (AnyExport)GetMasterMute,
    (AnyExport)SetMasterMute, (AnyExport)OpenSoundCard, (AnyExport)CloseSoundCard,
    (AnyExport)SetLinePlayBack, (AnyExport)SetLinePlayBackMute, (AnyExport)GetLinePlayBackMute,
    (AnyExport)SetMicPlayBack, (AnyExport)SetMicPlayBackMute, (AnyExport)GetMicPlayBackMute,
    (AnyExport)SetMicBoost, (AnyExport)GetMicBoost, (AnyExport)GetNoMonitor,
    (AnyExport)SetNoMonitor, (AnyExport)GetLinePlayBack, (AnyExport)GetMicPlayBack,
    (AnyExport)GetEQRange, (AnyExport)SetBass, (AnyExport)GetBass, (AnyExport)SetTreble,
    (AnyExport)GetTreble, (AnyExport)SetMidRange, (AnyExport)GetMidRange,
    (AnyExport)GetMicRecordVolume, (AnyExport)SetMicRecordVolume, (AnyExport)GetLineRecordVolume,
    (AnyExport)SetLineRecordVolume, (AnyExport)OpenDefaultDevices, (AnyExport)GetDeviceNames,
    (AnyExport)GetNumberPlayDevices, (AnyExport)GetNumberRecordDevices,
    (AnyExport)GetPlayBackDevice, (AnyExport)GetRecordDevice, (AnyExport)OpenVirtual_1,
    (AnyExport)CloseVirtual_1, (AnyExport)GetVirtualVolume, (AnyExport)SetVirtualVolume,
    (AnyExport)SetVirtualMute, (AnyExport)GetVirtualMute, (AnyExport)GetMicSliderBoost,
    (AnyExport)GetMicSliderDetails, (AnyExport)SetMicSliderBoost};
/* clang-format on */

static unsigned failures;

static void check(const char* what, int passed) {
  unsigned long length = 0, written = 0;
  void* out = GetStdHandle((unsigned long)-11); /* STD_OUTPUT_HANDLE */
  while (what[length] != '\0') ++length;
  WriteFile(out, passed ? "ok   " : "FAIL ", 5, &written, 0);
  WriteFile(out, what, length, &written, 0);
  WriteFile(out, "\r\n", 2, &written, 0);
  failures += passed ? 0 : 1;
}
#define CHECK(call, test) check(#call " " #test, (call)test)

/* Marks an out value unwritten before a call. */
static int* fresh(int* value) {
  *value = -1;
  return value;
}

void HostMain(void) {
  char name[256], id[256], line[256];
  int count = -1, status, low, high, step;
  double min = -1.0, max = -1.0, dbStep = -1.0, level = -1.0;

  CHECK(OpenSoundCard("no such", "no such", "no such"), == 4); /* 1 ^ 3 ^ 6 */
  CHECK(CloseSoundCard(1), == 0);
  CHECK(OpenVirtual_1("no such endpoint"), == 1);
  CHECK(CloseVirtual_1(), == 0);

  CHECK(GetNumberPlayDevices(&count), == 0);
  CHECK(count, >= 0);
  CHECK(GetPlayBackDevice((unsigned)count, name, id), == -1);
  CHECK(GetNumberRecordDevices(fresh(&count)), == 0);
  CHECK(count, >= 0);
  GetDeviceNames(name, line, id);

  CHECK((GetMasterVolume(fresh(&status)), status), == 3);
  CHECK((SetLineRecordVolume(50, fresh(&status)), status), == 3);
  CHECK((SetVirtualVolume(50, fresh(&status)), status), == 1);
  CHECK((SetMicPlayBackMute(1, fresh(&status)), status), == 3);
  CHECK((GetVirtualMute(fresh(&status)), status), == 1);

  CHECK(GetEQRange(&min, &max, &dbStep), == 3);
  CHECK(min == 0.0 && max == 0.0 && dbStep == 0.0, != 0);
  CHECK((SetTreble(1.5, fresh(&status)), status), == 3);
  CHECK(GetBass(&level, fresh(&status)), == 1);
  CHECK(level == 0.0 && status == 3, != 0);

  CHECK((GetMicSliderDetails(fresh(&status), &low, &high, &step), status), == 3);
  CHECK((SetMicSliderBoost(6, fresh(&status)), status), == 3);

  ExitProcess(failures);
}
