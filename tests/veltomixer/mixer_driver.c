/* Drives VeltoMixer.exe with window messages as a person would, and checks
   what the window shows against what the exports report to this process,
   which makes the same export calls over its own copy of the same simulated
   card. run-veltomixer-test.py compares the two processes' server logs.

   mixer_driver.exe CHANGES RESTORE PLAYBACK MIC LINE VIRTUAL [SHOT.bmp]
   CHANGES: the window's file of outside changes; RESTORE: 0 or 1; the four
   endpoint indices pick list entries (-1: none). With SHOT, the window is
   photographed after the binding and closed. */
// clang-format off
#include <windows.h>
#include <commctrl.h>  // needs windows.h first
// clang-format on
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "veltomixer_ids.h"
#include "veltosound.h"

enum Kind { PERCENT, SWITCH, TONE, BOOST };

/* What each of the window's sliders and check boxes must be wired to. */
typedef struct {
  int column, part, kind;
  int(VELTO_CALL* getInt)(int*);
  int(VELTO_CALL* setInt)(int, int*);
  int(VELTO_CALL* getDb)(double*, int*);
  int(VELTO_CALL* setDb)(double, int*);
} Wiring;

#define INTS(col, part, kind, get, set) \
  { col, part, kind, get, set, NULL, NULL }
#define DBS(col, get, set) \
  { col, kPartSlider, TONE, NULL, NULL, get, set }
static const Wiring kWiring[] = {
    INTS(kColMaster, kPartSlider, PERCENT, GetMasterVolume, SetMasterVolume),
    INTS(kColMaster, kPartCheck, SWITCH, GetMasterMute, SetMasterMute),
    INTS(kColLineMonitor, kPartSlider, PERCENT, GetLinePlayBack, SetLinePlayBack),
    INTS(kColLineMonitor, kPartCheck, SWITCH, GetLinePlayBackMute, SetLinePlayBackMute),
    INTS(kColMicMonitor, kPartSlider, PERCENT, GetMicPlayBack, SetMicPlayBack),
    INTS(kColMicMonitor, kPartCheck, SWITCH, GetMicPlayBackMute, SetMicPlayBackMute),
    INTS(kColLineRecord, kPartSlider, PERCENT, GetLineRecordVolume, SetLineRecordVolume),
    INTS(kColMicRecord, kPartSlider, PERCENT, GetMicRecordVolume, SetMicRecordVolume),
    INTS(kColMicBoost, kPartSlider, BOOST, GetMicSliderBoost, SetMicSliderBoost),
    INTS(kColMicBoost, kPartCheck, SWITCH, GetMicBoost, SetMicBoost),
    INTS(kColLineAgc, kPartCheck, SWITCH, GetNoMonitor, SetNoMonitor),
    DBS(kColBass, GetBass, SetBass),
    DBS(kColTreble, GetTreble, SetTreble),
    DBS(kColMidrange, GetMidRange, SetMidRange),
    INTS(kColVirtual, kPartSlider, PERCENT, GetVirtualVolume, SetVirtualVolume),
    INTS(kColVirtual, kPartCheck, SWITCH, GetVirtualMute, SetVirtualMute),
};
#define WIRING_COUNT (int)(sizeof kWiring / sizeof kWiring[0])

static HWND mixer;
static int failures;

static void Check(int ok, const char* what, int column) {
  if (ok) return;
  ++failures;
  printf("FAIL %s (column %d)\n", what, column);
}

static HWND Part(int column, int part) { return GetDlgItem(mixer, VELTOMIXER_ID(column, part)); }

/* The control's value in the window's units, and its status, from the exports. */
static int Truth(const Wiring* wiring, int* status) {
  if (wiring->kind != TONE) {
    const int value = wiring->getInt(status);
    return wiring->kind == SWITCH ? value != 0 : value;
  }
  double level = 0;
  wiring->getDb(&level, status);
  return (int)lround(level * 10);
}

static int SetTruth(const Wiring* wiring, int value) {
  int status = -1;
  if (wiring->kind == TONE)
    wiring->setDb(value / 10.0, &status);
  else
    wiring->setInt(value, &status);
  return status;
}

/* A vertical slider's minimum is at the top; the mixer's values grow upwards. */
static int Shown(const Wiring* wiring) {
  HWND control = Part(wiring->column, wiring->part);
  if (wiring->part == kPartCheck) return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const int min = (int)SendMessageW(control, TBM_GETRANGEMIN, 0, 0);
  const int max = (int)SendMessageW(control, TBM_GETRANGEMAX, 0, 0);
  return min + max - (int)SendMessageW(control, TBM_GETPOS, 0, 0);
}

/* A slider's label as the window writes the export's value. */
static int LabelAgrees(const Wiring* wiring, int value) {
  wchar_t shown[64] = L"", expected[64];
  GetWindowTextW(Part(wiring->column, kPartValue), shown, 64);
  if (wiring->kind == TONE)
    swprintf(expected, 64, L"%.1f dB", value / 10.0);
  else
    swprintf(expected, 64, wiring->kind == BOOST ? L"%d dB" : L"%d %%", value);
  return wcscmp(shown, expected) == 0;
}

/* Every control the binding found is enabled and shows the exports' value
   (a slider's thumb stays where it was put, its label reads the export);
   every other one is greyed, with a reason. */
static void CompareAll(const char* when, int thumbs) {
  char what[160];
  for (int i = 0; i < WIRING_COUNT; ++i) {
    const Wiring* wiring = &kWiring[i];
    HWND control = Part(wiring->column, wiring->part);
    int status = -1;
    const int value = Truth(wiring, &status);
    snprintf(what, sizeof what, "%s: the %s is %s as its export reports status %d", when,
             wiring->part == kPartSlider ? "slider" : "check box",
             status == 0 ? "enabled" : "greyed", status);
    Check(control && (IsWindowEnabled(control) != 0) == (status == 0), what, wiring->column);
    if (status == 0) {
      snprintf(what, sizeof what, "%s: the window shows %d, the export %d", when, Shown(wiring),
               value);
      Check((!thumbs && wiring->part == kPartSlider) || Shown(wiring) == value, what,
            wiring->column);
      Check(wiring->part == kPartCheck || LabelAgrees(wiring, value),
            "the slider's label shows the export's value", wiring->column);
    } else {
      wchar_t reason[128] = L"";
      GetWindowTextW(Part(wiring->column, kPartReason), reason, 128);
      snprintf(what, sizeof what, "%s: a greyed control gives its reason", when);
      Check(reason[0] != 0, what, wiring->column);
    }
  }
}

static void StatusLineAgrees(int status, const char* action, int column) {
  wchar_t text[512] = L"";
  GetWindowTextW(GetDlgItem(mixer, kIdStatus), text, 512);
  char what[160];
  snprintf(what, sizeof what, "the status line says whether %s failed (status %d)", action, status);
  Check((wcsstr(text, L"failed") != NULL) == (status != 0), what, column);
}

static int MoveSlider(const Wiring* wiring) {
  HWND slider = Part(wiring->column, kPartSlider);
  const int min = (int)SendMessageW(slider, TBM_GETRANGEMIN, 0, 0);
  const int max = (int)SendMessageW(slider, TBM_GETRANGEMAX, 0, 0);
  int position = min + (max - min) / 4;
  if (position == (int)SendMessageW(slider, TBM_GETPOS, 0, 0)) position = max - (max - min) / 4;
  SendMessageW(slider, TBM_SETPOS, TRUE, position);
  SendMessageW(mixer, WM_VSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), (LPARAM)slider);
  SendMessageW(mixer, WM_VSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), (LPARAM)slider);
  StatusLineAgrees(SetTruth(wiring, min + max - position), "moving a slider", wiring->column);
  return min + max - position;
}

/* The up arrow steps on from where the thumb was put, even when the level
   reads back a step lower (75 % gives 74 %) and a poll has been since. */
static void StepUp(const Wiring* wiring, int from) {
  HWND slider = Part(wiring->column, kPartSlider);
  SendMessageW(slider, WM_KEYDOWN, VK_UP, 0);
  SendMessageW(slider, WM_KEYUP, VK_UP, 0);
  StatusLineAgrees(SetTruth(wiring, from + 1), "an arrow key", wiring->column);
}

static void Tick(const Wiring* wiring) {
  const int was = Shown(wiring);
  SendMessageW(Part(wiring->column, kPartCheck), BM_CLICK, 0, 0);
  StatusLineAgrees(SetTruth(wiring, !was), "ticking a box", wiring->column);
}

static void Pick(int list, int index, char* id) {
  char name[256] = "";
  id[0] = 0;
  if (index >= 0)
    (list == kIdMicList || list == kIdLineList ? GetRecordDevice : GetPlayBackDevice)(
        (unsigned)index, name, id);
  SendMessageW(GetDlgItem(mixer, list), CB_SETCURSEL, index + 1, 0);
}

/* The lists start on the endpoints OpenDefaultDevices bound. */
static void DefaultsSelected(void) {
  char names[3][256] = {"", "", ""};
  const int lists[3] = {kIdPlaybackList, kIdLineList, kIdMicList};
  OpenDefaultDevices();
  GetDeviceNames(names[0], names[1], names[2]);
  for (int i = 0; i < 3; ++i) {
    wchar_t shown[256] = L"", expected[256] = L"(none)";
    HWND list = GetDlgItem(mixer, lists[i]);
    SendMessageW(list, CB_GETLBTEXT, SendMessageW(list, CB_GETCURSEL, 0, 0), (LPARAM)shown);
    if (names[i][0]) {
      int n = 0;
      for (; names[i][n] && n < 255; ++n) expected[n] = (unsigned char)names[i][n];
      expected[n] = 0;
    }
    Check(wcscmp(shown, expected) == 0, "the list starts on the default endpoint", i);
  }
}

static void Replace(const char* path, const char* text) {
  char temporary[MAX_PATH];
  snprintf(temporary, sizeof temporary, "%s.new", path);
  FILE* file = fopen(temporary, "wb");
  fputs(text, file);
  fclose(file);
  MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING);
}

/* Someone else sets the playback endpoint's level: in the window's process
   and in this one alike; the window must follow within a few polls. */
static void ChangeElsewhere(const char* windowChanges, const char* playbackId) {
  char line[400], own[MAX_PATH];
  snprintf(line, sizeof line, "volume %s 0.9\n", playbackId);
  if (!GetEnvironmentVariableA("VELTO_COMSERVER_CHANGES", own, sizeof own)) {
    Check(0, "the driver has its own changes file", kColMaster);
    return;
  }
  Replace(own, line);
  int status = 0;
  const int expected = GetMasterVolume(&status);
  char what[120];
  snprintf(what, sizeof what, "the outside change moves the master level (from %d to %d)",
           Shown(&kWiring[0]), expected);
  Check(expected != Shown(&kWiring[0]), what, kColMaster);
  Replace(windowChanges, line);
  int shown = -1;
  for (int tries = 0; tries < 50 && shown != expected; ++tries) {
    Sleep(100);
    shown = Shown(&kWiring[0]);
  }
  Check(shown == expected, "the window follows a change made elsewhere", kColMaster);
}

static void Screenshot(const char* path) {
  RECT box;
  GetWindowRect(mixer, &box);
  const int width = box.right - box.left, height = box.bottom - box.top;
  HDC screen = GetDC(NULL), memory = CreateCompatibleDC(screen);
  BITMAPINFO info;
  ZeroMemory(&info, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = NULL;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((DWORD)width * 3 + 3) & ~3u, size = stride * height;
  BITMAPFILEHEADER file;
  ZeroMemory(&file, sizeof file);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + size;
  info.bmiHeader.biSizeImage = size;
  FILE* out = fopen(path, "wb");
  fwrite(&file, sizeof file, 1, out);
  fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
  fwrite(bits, size, 1, out);
  fclose(out);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(NULL, screen);
}

int main(int argc, char** argv) {
  if (argc < 7) {
    fprintf(stderr, "usage: mixer_driver CHANGES RESTORE PLAYBACK MIC LINE VIRTUAL [SHOT.bmp]\n");
    return 2;
  }
  for (int tries = 0; tries < 200 && !(mixer = FindWindowW(VELTOMIXER_CLASS, NULL)); ++tries)
    Sleep(100);
  if (!mixer) {
    printf("FAIL VeltoMixer's window did not appear\n");
    return 1;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(mixer, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);

  DefaultsSelected();
  CompareAll("started", 1);
  char ids[4][256];
  const int lists[4] = {kIdPlaybackList, kIdMicList, kIdLineList, kIdVirtualList};
  for (int i = 0; i < 4; ++i) Pick(lists[i], atoi(argv[3 + i]), ids[i]);
  SendMessageW(GetDlgItem(mixer, kIdBind), BM_CLICK, 0, 0);
  OpenSoundCard(ids[0], ids[1], ids[2]);
  if (ids[3][0])
    OpenVirtual_1(ids[3]);
  else
    CloseVirtual_1();
  CompareAll("bound", 1);
  if (argc > 7) {
    Sleep(300);
    Screenshot(argv[7]);
  } else {
    int master = -1;
    for (int i = 0; i < WIRING_COUNT; ++i) {
      HWND control = Part(kWiring[i].column, kWiring[i].part);
      if (!IsWindowEnabled(control)) continue;
      if (kWiring[i].part == kPartSlider) {
        const int set = MoveSlider(&kWiring[i]);
        if (i == 0) master = set;
      } else {
        Tick(&kWiring[i]);
      }
    }
    Sleep(600); /* a poll, which must not take the thumb back */
    if (master >= 0) StepUp(&kWiring[0], master);
    Sleep(1200); /* two polls: a slider wired to the wrong control shows it here */
    CompareAll("set", 0);
    if (ids[0][0]) ChangeElsewhere(argv[1], ids[0]);
  }
  const int restore = atoi(argv[2]);
  if (restore) SendMessageW(GetDlgItem(mixer, kIdRestore), BM_CLICK, 0, 0);
  PostMessageW(mixer, WM_CLOSE, 0, 0);
  Check(WaitForSingleObject(process, 10000) == WAIT_OBJECT_0, "the window closes", -1);
  CloseSoundCard(restore);
  CloseVirtual_1();
  printf("%d failure(s)\n", failures);
  return failures != 0;
}
