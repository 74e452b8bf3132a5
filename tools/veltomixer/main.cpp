// VeltoMixer: a mixer window over VeltoSound.dll, using only its exports.
// Win32 and the common controls alone, so that it runs wherever the DLL does.
// clang-format off
#include <windows.h>
#include <commctrl.h>  // needs windows.h first
// clang-format on

#include <array>
#include <string>
#include <vector>

#include "mixer_columns.h"

namespace veltomixer {
namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 500;  // follows outside changes without a visible cost
constexpr int kNameBuffer = 256;

// Layout in pixels at 96 dpi, scaled by Dip().
constexpr int kMargin = 8, kLabelW = 110, kListW = 230, kRowH = 24;
constexpr int kColW = 84, kNarrowColW = 62, kTitleH = 30, kSliderH = 150, kTextH = 18;
constexpr int kReasonH = 46;

struct Endpoint {
  std::wstring name;
  std::string id;
};

struct ColumnWindows {
  HWND title = nullptr, slider = nullptr, value = nullptr, check = nullptr, reason = nullptr;
  Reading sliderReading{-1, 0};
  int sliderSetTo = 0;  // the value the thumb stands for
  Reading checkReading{-1, 0};
  Range range;
};

struct Window {
  HWND main = nullptr;
  std::array<HWND, 4> lists{};  // playback, microphone, line in, virtual
  std::array<HWND, 4> listLabels{};
  HWND bind = nullptr, restore = nullptr, status = nullptr;
  std::vector<Endpoint> playback, recording;
  std::array<ColumnWindows, kColumnCount> columns{};
  HFONT font = nullptr;
  int dpi = 96;
};

Window w;

int Dip(int pixels) { return MulDiv(pixels, w.dpi, 96); }

// Friendly names come from the DLL one byte per UTF-16 unit (its low byte),
// which is Latin-1 for every name that Latin-1 can hold.
std::wstring FromLatin1(const char* text) {
  std::wstring wide;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
    wide += static_cast<wchar_t>(*p);
  return wide;
}

void SetStatus(const std::wstring& text) { SetWindowTextW(w.status, text.c_str()); }

HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, int id, DWORD exStyle = 0) {
  HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, w.main,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleW(nullptr), nullptr);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(w.font), FALSE);
  return hwnd;
}

std::vector<Endpoint> ListEndpoints(bool playback) {
  std::vector<Endpoint> endpoints;
  int count = 0;
  if ((playback ? GetNumberPlayDevices(&count) : GetNumberRecordDevices(&count)) != 0) return {};
  for (int index = 0; index < count; ++index) {
    char name[kNameBuffer] = "", id[kNameBuffer] = "";
    const int result =
        playback ? GetPlayBackDevice(index, name, id) : GetRecordDevice(index, name, id);
    if (result == 0) endpoints.push_back({FromLatin1(name), id});
  }
  return endpoints;
}

void FillList(HWND list, const std::vector<Endpoint>& endpoints) {
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"(none)"));
  for (const Endpoint& endpoint : endpoints)
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(endpoint.name.c_str()));
  SendMessageW(list, CB_SETCURSEL, 0, 0);
}

void SelectByName(HWND list, const char* name) {
  if (!*name) return;
  const LRESULT found =
      SendMessageW(list, CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>(FromLatin1(name).c_str()));
  if (found != CB_ERR) SendMessageW(list, CB_SETCURSEL, found, 0);
}

// The id of the list's selection; empty for "(none)", which binds nothing.
std::string SelectedId(int list) {
  const auto& endpoints = list == 1 || list == 2 ? w.recording : w.playback;
  const LRESULT selected = SendMessageW(w.lists[list], CB_GETCURSEL, 0, 0);
  if (selected <= 0 || static_cast<size_t>(selected) > endpoints.size()) return {};
  return endpoints[selected - 1].id;
}

// Vertical trackbars put their minimum at the top; the mixer's is at the bottom.
int ToPosition(const Range& range, int value) { return range.max + range.min - value; }

void ShowSlider(int column) {
  ColumnWindows& c = w.columns[column];
  const Control& control = kColumns[column].slider;
  const Reading& reading = c.sliderReading;
  EnableWindow(c.slider, reading.status == 0);
  c.sliderSetTo = reading.value;
  if (reading.status == 0 && GetCapture() != c.slider)
    SendMessageW(c.slider, TBM_SETPOS, TRUE, ToPosition(c.range, reading.value));
  SetWindowTextW(c.value, reading.status == 0 ? ValueText(control, reading.value).c_str() : L"");
}

void ShowCheck(int column) {
  ColumnWindows& c = w.columns[column];
  EnableWindow(c.check, c.checkReading.status == 0);
  SendMessageW(c.check, BM_SETCHECK, c.checkReading.status == 0 && c.checkReading.value, 0);
}

bool HasSlider(int column) { return kColumns[column].slider.kind != Kind::None; }
bool HasCheck(int column) { return kColumns[column].check.kind != Kind::None; }
bool Found(int column) {
  const ColumnWindows& c = w.columns[column];
  return (HasSlider(column) && c.sliderReading.status == 0) ||
         (HasCheck(column) && c.checkReading.status == 0);
}

// Greyed controls say why: the status of the first control not found.
void ShowReason(int column) {
  const ColumnWindows& c = w.columns[column];
  const ColumnSpec& spec = kColumns[column];
  const bool both = HasSlider(column) && HasCheck(column);
  std::wstring reason;
  if (HasSlider(column) && c.sliderReading.status != 0)
    reason = (both && Found(column) ? std::wstring(L"level: ") : L"") +
             Reason(c.sliderReading.status, spec.virtualEndpoint);
  else if (HasCheck(column) && c.checkReading.status != 0)
    reason = (both ? std::wstring(spec.checkText) + L": " : L"") +
             Reason(c.checkReading.status, spec.virtualEndpoint);
  SetWindowTextW(c.reason, reason.c_str());
  EnableWindow(c.title, Found(column));
}

// Reads every control again and touches only the windows whose value or
// status changed, so that polling does not flicker.
void Refresh(bool force) {
  for (int column = 0; column < kColumnCount; ++column) {
    ColumnWindows& c = w.columns[column];
    bool changed = false;
    if (HasSlider(column)) {
      const Reading reading = Read(kColumns[column].slider);
      if (force || !(reading == c.sliderReading)) {
        c.sliderReading = reading;
        ShowSlider(column);
        changed = true;
      }
    }
    if (HasCheck(column)) {
      const Reading reading = Read(kColumns[column].check);
      if (force || !(reading == c.checkReading)) {
        c.checkReading = reading;
        ShowCheck(column);
        changed = true;
      }
    }
    if (changed) ShowReason(column);
  }
}

void ApplyRanges() {
  for (int column = 0; column < kColumnCount; ++column) {
    ColumnWindows& c = w.columns[column];
    if (!HasSlider(column)) continue;
    c.range = RangeOf(kColumns[column].slider);
    SendMessageW(c.slider, TBM_SETRANGEMIN, FALSE, c.range.min);
    SendMessageW(c.slider, TBM_SETRANGEMAX, FALSE, c.range.max);
    SendMessageW(c.slider, TBM_SETLINESIZE, 0, c.range.line);
    SendMessageW(c.slider, TBM_SETPAGESIZE, 0, c.range.page);
  }
}

// Columns the binding found get full width; the others stay, greyed and
// narrower, so that the window grows with what the card has.
void Layout() {
  int y = kMargin;
  for (int row = 0; row < 2; ++row) {
    for (int half = 0; half < 2; ++half) {
      const int list = row * 2 + half;
      const int x = kMargin + half * (kLabelW + kListW + kMargin);
      MoveWindow(w.listLabels[list], Dip(x), Dip(y + 3), Dip(kLabelW), Dip(kTextH), FALSE);
      MoveWindow(w.lists[list], Dip(x + kLabelW), Dip(y), Dip(kListW), Dip(200), FALSE);
    }
    y += kRowH + 4;
  }
  MoveWindow(w.bind, Dip(kMargin + kLabelW), Dip(y), Dip(80), Dip(kRowH), FALSE);
  MoveWindow(w.restore, Dip(kMargin * 2 + 2 * kLabelW + kListW), Dip(y + 2), Dip(kListW),
             Dip(kTextH + 2), FALSE);
  y += kRowH + kMargin + 4;
  int x = kMargin;
  for (int column = 0; column < kColumnCount; ++column) {
    const ColumnWindows& c = w.columns[column];
    const int width = Found(column) ? kColW : kNarrowColW;
    int top = y;
    MoveWindow(c.title, Dip(x), Dip(top), Dip(width - 4), Dip(kTitleH), FALSE);
    top += kTitleH;
    MoveWindow(c.slider, Dip(x + (width - 36) / 2), Dip(top), Dip(32), Dip(kSliderH), FALSE);
    top += kSliderH;
    MoveWindow(c.value, Dip(x), Dip(top), Dip(width - 4), Dip(kTextH), FALSE);
    top += kTextH;
    MoveWindow(c.check, Dip(x + 6), Dip(top), Dip(width - 10), Dip(kTextH + 2), FALSE);
    top += kTextH + 4;
    MoveWindow(c.reason, Dip(x), Dip(top), Dip(width - 4), Dip(kReasonH), FALSE);
    x += width;
  }
  const int pickers = kMargin * 3 + 2 * (kLabelW + kListW);
  const int width = std::max(x + kMargin, pickers);
  y += kTitleH + kSliderH + 2 * kTextH + 4 + kReasonH + 4;
  MoveWindow(w.status, Dip(kMargin), Dip(y), Dip(width - 2 * kMargin), Dip(kTextH), FALSE);
  y += kTextH + kMargin;
  RECT frame{0, 0, Dip(width), Dip(y)};
  const DWORD style = GetWindowLongW(w.main, GWL_STYLE);
  AdjustWindowRectEx(&frame, style, FALSE, GetWindowLongW(w.main, GWL_EXSTYLE));
  SetWindowPos(w.main, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(w.main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

std::wstring BindOutcome(int result) {
  // OpenSoundCard combines its failures by exclusive or: 1, 3, 6.
  static const wchar_t* const kRoles[] = {L"playback", L"microphone", L"line in"};
  static const int kCodes[] = {1, 3, 6};
  for (int failed = 0; failed < 8; ++failed) {
    int code = 0;
    for (int role = 0; role < 3; ++role)
      if (failed & (1 << role)) code ^= kCodes[role];
    if (code != result) continue;
    if (!failed) return L"Bound.";
    std::wstring text = L"Could not bind:";
    for (int role = 0; role < 3; ++role)
      if (failed & (1 << role)) text += std::wstring(L" ") + kRoles[role];
    return text + L" (the other endpoints are bound).";
  }
  return L"Binding answered " + std::to_wstring(result) + L".";
}

void Bind() {
  const std::string playback = SelectedId(0), mic = SelectedId(1), line = SelectedId(2);
  std::wstring outcome = BindOutcome(OpenSoundCard(playback.c_str(), mic.c_str(), line.c_str()));
  const std::string virtualId = SelectedId(3);
  if (virtualId.empty())
    CloseVirtual_1();
  else if (OpenVirtual_1(virtualId.c_str()) != 0)
    outcome +=
        L" The virtual endpoint's topology could not be walked; its volume and mute may "
        L"still work.";
  SetStatus(outcome);
  ApplyRanges();
  Refresh(true);
  Layout();
}

void BindDefaults() {
  w.playback = ListEndpoints(true);
  w.recording = ListEndpoints(false);
  FillList(w.lists[0], w.playback);
  FillList(w.lists[1], w.recording);
  FillList(w.lists[2], w.recording);
  FillList(w.lists[3], w.playback);
  if (w.playback.empty() && w.recording.empty()) {
    SetStatus(L"No active playback or recording endpoint: there is nothing to bind.");
  } else {
    const int result = OpenDefaultDevices();
    char playback[kNameBuffer] = "", line[kNameBuffer] = "", mic[kNameBuffer] = "";
    GetDeviceNames(playback, line, mic);
    SelectByName(w.lists[0], playback);
    SelectByName(w.lists[1], mic);
    SelectByName(w.lists[2], line);
    const std::wstring missing =
        L"there is no default recording endpoint: pick the endpoints and press Bind.";
    if (result == 0)
      SetStatus(L"Bound the system's default endpoints.");
    else
      SetStatus((*playback ? L"Bound the default playback endpoint; " : L"Nothing bound: ") +
                missing);
  }
  ApplyRanges();
  Refresh(true);
  Layout();
}

void CreateControls() {
  static const wchar_t* const kListLabels[] = {L"Pla&yback:", L"Micr&ophone:", L"Line i&n:",
                                               L"Virt&ual endpoint:"};
  for (int list = 0; list < 4; ++list) {
    w.listLabels[list] = Child(L"STATIC", kListLabels[list], 0, -1);
    w.lists[list] = Child(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                          kIdPlaybackList + list);
  }
  w.bind = Child(L"BUTTON", L"&Bind", BS_PUSHBUTTON | WS_TABSTOP, kIdBind);
  w.restore = Child(L"BUTTON", L"&Restore on exit", BS_AUTOCHECKBOX | WS_TABSTOP, kIdRestore);
  for (int column = 0; column < kColumnCount; ++column) {
    ColumnWindows& c = w.columns[column];
    const ColumnSpec& spec = kColumns[column];
    c.title = Child(L"STATIC", spec.title, SS_CENTER, VELTOMIXER_ID(column, kPartTitle));
    if (HasSlider(column))
      c.slider = Child(TRACKBAR_CLASSW, L"", TBS_VERT | TBS_BOTH | TBS_NOTICKS | WS_TABSTOP,
                       VELTOMIXER_ID(column, kPartSlider));
    c.value = Child(L"STATIC", L"", SS_CENTER | SS_NOPREFIX, VELTOMIXER_ID(column, kPartValue));
    if (HasCheck(column))
      c.check = Child(L"BUTTON", spec.checkText, BS_AUTOCHECKBOX | WS_TABSTOP,
                      VELTOMIXER_ID(column, kPartCheck));
    c.reason = Child(L"STATIC", L"", SS_CENTER | SS_NOPREFIX, VELTOMIXER_ID(column, kPartReason));
  }
  w.status = Child(L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, kIdStatus);
}

void Report(const Control& control, int value, int status) {
  const std::wstring text = ValueText(control, value);
  if (status == 0)
    SetStatus(std::wstring(control.name) + L": " + text);
  else
    SetStatus(L"Setting " + std::wstring(control.name) + L" to " + text + L" failed: " +
              Reason(status, false) + L" (status " + std::to_wstring(status) + L").");
}

int ColumnOf(HWND control, int part) {
  const int id = GetDlgCtrlID(control) - kIdColumnBase;
  if (id < 0 || id % kIdColumnStride != part) return -1;
  const int column = id / kIdColumnStride;
  return column < kColumnCount ? column : -1;
}

// A slider moved, by mouse or keyboard: set the control at once.
void SliderMoved(HWND slider) {
  const int column = ColumnOf(slider, kPartSlider);
  if (column < 0) return;
  ColumnWindows& c = w.columns[column];
  const Control& control = kColumns[column].slider;
  const int value = ToPosition(c.range, static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0)));
  if (c.sliderReading.status == 0 && value == c.sliderSetTo) return;
  const int status = Write(control, value);
  Report(control, value, status);
  if (status == 0) {
    // A level can read back a step lower than it was set (75 % gives 74 %).
    // The label shows what the export reads; the thumb stays where it was
    // put, or the arrow keys could never step past such a value.
    c.sliderSetTo = value;
    c.sliderReading = Read(control);
    SetWindowTextW(c.value, ValueText(control, c.sliderReading.value).c_str());
    if (c.sliderReading.status != 0) ShowReason(column);
  } else {
    ShowSlider(column);
  }
}

void CheckClicked(HWND check) {
  const int column = ColumnOf(check, kPartCheck);
  if (column < 0) return;
  ColumnWindows& c = w.columns[column];
  const Control& control = kColumns[column].check;
  const int value = SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED;
  const int status = Write(control, value);
  Report(control, value, status);
  if (status == 0)
    c.checkReading.value = value;
  else
    ShowCheck(column);
}

void MakeFont() {
  if (w.font) DeleteObject(w.font);
  w.font = CreateFontW(-MulDiv(9, w.dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH, L"Segoe UI");
}

BOOL CALLBACK SetFontOn(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      w.main = hwnd;
      HDC screen = GetDC(hwnd);
      w.dpi = GetDeviceCaps(screen, LOGPIXELSY);
      ReleaseDC(hwnd, screen);
      MakeFont();
      CreateControls();
      BindDefaults();
      SetTimer(hwnd, kPollTimer, kPollMs, nullptr);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kPollTimer) Refresh(false);
      return 0;
    case WM_VSCROLL:
      if (lParam) SliderMoved(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return 0;
      if (LOWORD(wParam) == kIdBind)
        Bind();
      else if (lParam)
        CheckClicked(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_DPICHANGED: {
      w.dpi = HIWORD(wParam);
      MakeFont();
      EnumChildWindows(hwnd, SetFontOn, reinterpret_cast<LPARAM>(w.font));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    case WM_DESTROY:
      KillTimer(hwnd, kPollTimer);
      CloseSoundCard(SendMessageW(w.restore, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
      CloseVirtual_1();
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace
}  // namespace veltomixer

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof(cls);
  cls.lpfnWndProc = veltomixer::WindowProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  cls.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));      // IDI_APPLICATION
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = VELTOMIXER_CLASS;
  if (!RegisterClassExW(&cls)) return 1;
  // WS_EX_CONTROLPARENT: tab and access keys reach the controls.
  HWND window =
      CreateWindowExW(WS_EX_CONTROLPARENT, VELTOMIXER_CLASS, L"VeltoMixer",
                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                      CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
