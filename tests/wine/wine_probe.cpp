// wine_probe: looks at the windows of a running Windows program from outside,
// for the Wine end-to-end tests (run with wine in the same prefix). X tools see
// only top-level windows; this reads what is inside them - control texts
// (WM_GETTEXT), enabled states, list box items - and reports control rectangles
// in screen coordinates, so that the test can click them with xdotool.
//
//   wine_probe wait [--title SUB] [--class NAME] [--has-id N] [--id N]
//                   [--text SUB] [--enabled 0|1] [--not-hwnd H] [--timeout S]
//       Waits for a visible top-level window whose title holds SUB and whose
//       class is NAME, that has a control with id --has-id; with --id, also
//       until that control's text holds --text and its enabled state is
//       --enabled. --not-hwnd skips the window of that handle (to wait for a
//       box shown again). Prints the window (see dump) and exits 0; on timeout prints
//       every visible window and exits 1.
//   wine_probe gone [--title SUB] [--class NAME] [--has-id N] [--timeout S]
//       Waits until no such window is visible; exit 0, or 1 on timeout.
//   wine_probe list
//       Prints every visible top-level window with its controls.
//   wine_probe gap [--title SUB] [--class NAME] [--has-id N] [--id N --enabled 0|1]
//                  [--timeout S]
//       Waits (up to S seconds) for such a window, then sends it WM_NULL again
//       and again, each time waiting as long as it takes, and records how long
//       the window left each one unanswered, until the window is gone or the
//       control --id has the enabled state --enabled (e.g. OK enabled: the run
//       is over). Prints "GAP longest_ms=N mean_ms=N samples=N over_1s=N
//       over_5s=N" and exits 0; 1 when the window never came. Before it, one
//       line "SLOW ms=N before=\"T\" after=\"T\"" for each gap over 1 s, with
//       the window's texts (all controls but the log) before and after it:
//       what the run was doing.
//   wine_probe close [--title SUB] [--class NAME] [--has-id N] [--timeout S]
//       Waits for such a window and sends it the system menu's Close
//       (WM_SYSCOMMAND SC_CLOSE, what Alt+F4 does) without waiting for an
//       answer; exit 0, or 1 when the window never came.
//   wine_probe hold PATH SHARE RELEASE
//       Opens the file PATH for reading and writing as another program using
//       it would, SHARE "none" (no sharing) or "read" (others may read it),
//       prints "HELD", and keeps it open until the file RELEASE exists (at
//       most 10 minutes). Exit 1 when the file cannot be opened.
//   wine_probe add-resource EXE NAME FILE
//       Adds FILE to EXE as the raw-data resource NAME, as anyone can to a
//       signed patcher with the system's resource calls; no check of NAME.
//       Exit 1 on failure.
//
// Output, one record per line (texts UTF-8, with \r, \n, \\ and \" escaped):
//   WINDOW hwnd=H class="C" title="T" rect=L,T,R,B
//   CONTROL id=N class="C" enabled=0|1 visible=0|1 focused=0|1 rect=L,T,R,B text="T"
//   ITEM id=N index=I selected=0|1 rect=L,T,R,B text="T"      (list box items)

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Query {
  std::string title;
  std::string window_class;
  int has_id = -1;
  std::string not_hwnd;
  int id = -1;
  std::string text;
  int enabled = -1;
  double timeout = 20.0;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// WM_GETTEXT through a time-limited send: a program that is busy and does not
// pump must not hang the probe.
std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
    return std::wstring();
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 2000, &got);
  text.resize(got);
  return text;
}

std::string ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return Utf8(name);
}

std::string RectText(const RECT& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
  return text;
}

BOOL CALLBACK AddChild(HWND child, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
  return TRUE;
}

BOOL CALLBACK AddVisible(HWND window, LPARAM param) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, AddChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> VisibleTopWindows() {
  std::vector<HWND> found;
  EnumWindows(AddVisible, reinterpret_cast<LPARAM>(&found));
  return found;
}

void PrintListItems(HWND list, int id) {
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    RECT item = {};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&item), 2);
    std::printf("ITEM id=%d index=%ld selected=%d rect=%s text=\"%s\"\n", id, static_cast<long>(i),
                i == selected ? 1 : 0, RectText(item).c_str(), Escaped(Utf8(text)).c_str());
  }
}

// The control with the keyboard focus in the window's thread (GetFocus only
// answers for the caller's own thread).
HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void PrintWindow(HWND window) {
  const HWND focus = FocusOf(window);
  RECT r = {};
  GetWindowRect(window, &r);
  std::printf("WINDOW hwnd=%p class=\"%s\" title=\"%s\" rect=%s\n", static_cast<void*>(window),
              Escaped(ClassName(window)).c_str(), Escaped(Utf8(WindowText(window))).c_str(),
              RectText(r).c_str());
  for (HWND child : Children(window)) {
    GetWindowRect(child, &r);
    const int id = GetDlgCtrlID(child);
    const std::string child_class = ClassName(child);
    std::printf("CONTROL id=%d class=\"%s\" enabled=%d visible=%d focused=%d rect=%s text=\"%s\"\n",
                id, Escaped(child_class).c_str(), IsWindowEnabled(child) ? 1 : 0,
                IsWindowVisible(child) ? 1 : 0, child == focus ? 1 : 0, RectText(r).c_str(),
                Escaped(Utf8(WindowText(child))).c_str());
    if (_stricmp(child_class.c_str(), "ListBox") == 0) PrintListItems(child, id);
  }
  std::fflush(stdout);
}

bool Contains(const std::wstring& text, const std::string& part) {
  return part.empty() || text.find(Wide(part)) != std::wstring::npos;
}

// The window that matches the query's window part (title, class, has-id).
HWND FindMatching(const Query& q) {
  for (HWND window : VisibleTopWindows()) {
    if (!Contains(WindowText(window), q.title)) continue;
    if (!q.window_class.empty() &&
        _stricmp(ClassName(window).c_str(), q.window_class.c_str()) != 0) {
      continue;
    }
    if (q.has_id >= 0 && GetDlgItem(window, q.has_id) == nullptr) continue;
    if (!q.not_hwnd.empty()) {
      char handle[32];
      std::snprintf(handle, sizeof handle, "%p", static_cast<void*>(window));
      if (q.not_hwnd == handle) continue;
    }
    return window;
  }
  return nullptr;
}

bool ControlMatches(HWND window, const Query& q) {
  if (q.id < 0) return true;
  HWND control = GetDlgItem(window, q.id);
  if (control == nullptr) return false;
  if (!Contains(WindowText(control), q.text)) return false;
  if (q.enabled >= 0 && (IsWindowEnabled(control) ? 1 : 0) != q.enabled) return false;
  return true;
}

void ListAll() {
  for (HWND window : VisibleTopWindows()) PrintWindow(window);
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// How long the window leaves a message unanswered, over and over, until it
// goes or the run is over. A gap is measured by the sender: a window that
// pumps answers at its next pump, one that is busy only when its work ends.
int MeasureGaps(const Query& q) {
  const DWORD start = GetTickCount();
  HWND window = nullptr;
  while ((window = FindMatching(q)) == nullptr) {
    if (GetTickCount() - start > static_cast<DWORD>(q.timeout * 1000)) {
      std::printf("TIMEOUT gap\n");
      return 1;
    }
    Sleep(50);
  }
  // The texts of every control but the log (id 1003): the run's stage.
  auto stage = [window]() {
    std::wstring text;
    for (HWND child : Children(window)) {
      if (GetDlgCtrlID(child) == 1003) continue;
      const std::wstring part = WindowText(child);
      if (part.empty()) continue;
      if (!text.empty()) text += L" | ";
      text += part;
    }
    return Escaped(Utf8(text));
  };
  double longest = 0;
  double total = 0;
  long samples = 0;
  long over_1s = 0;
  long over_5s = 0;
  for (;;) {
    if (!IsWindow(window) || !IsWindowVisible(window)) break;
    if (q.id >= 0 && q.enabled >= 0) {
      HWND control = GetDlgItem(window, q.id);
      if (control != nullptr && (IsWindowEnabled(control) ? 1 : 0) == q.enabled) break;
    }
    // Timed from before the texts are read: a window that stops answering
    // while they are asked for is part of the gap, never hidden by it.
    LARGE_INTEGER before;
    LARGE_INTEGER after;
    QueryPerformanceCounter(&before);
    const std::string stage_before = stage();
    DWORD_PTR result = 0;
    // No SMTO_ABORTIFHUNG: a window that does not answer for seconds is the
    // very thing measured. The limit only ends the probe of a dead program.
    const LRESULT sent = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &result);
    QueryPerformanceCounter(&after);
    if (sent == 0 && !IsWindow(window)) break;
    const double gap = Seconds(before, after);
    longest = gap > longest ? gap : longest;
    total += gap;
    ++samples;
    if (gap > 1.0) {
      ++over_1s;
      std::printf("SLOW ms=%.0f before=\"%s\" after=\"%s\"\n", gap * 1000, stage_before.c_str(),
                  IsWindow(window) ? stage().c_str() : "");
      std::fflush(stdout);
    }
    if (gap > 5.0) ++over_5s;
    // A short rest between two asks, so that the probe does not keep the
    // program's queue busy by itself.
    Sleep(5);
  }
  std::printf("GAP longest_ms=%.0f mean_ms=%.1f samples=%ld over_1s=%ld over_5s=%ld\n",
              longest * 1000, samples > 0 ? total * 1000 / static_cast<double>(samples) : 0.0,
              samples, over_1s, over_5s);
  return 0;
}

int SendClose(const Query& q) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = FindMatching(q)) {
      PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    }
    if (GetTickCount() - start > static_cast<DWORD>(q.timeout * 1000)) break;
    Sleep(50);
  }
  std::printf("TIMEOUT close\n");
  return 1;
}

int HoldFile(const std::string& path, const std::string& share, const std::string& release) {
  const DWORD mode = share == "read" ? FILE_SHARE_READ : 0;
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, mode, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("CANNOT OPEN error=%lu\n", GetLastError());
    return 1;
  }
  std::printf("HELD\n");
  std::fflush(stdout);
  const DWORD start = GetTickCount();
  while (GetFileAttributesW(Wide(release).c_str()) == INVALID_FILE_ATTRIBUTES &&
         GetTickCount() - start < 600000) {
    Sleep(50);
  }
  CloseHandle(file);
  return 0;
}

int AddResource(const std::string& exe, const std::string& name, const std::string& file) {
  FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) {
    std::printf("CANNOT READ %s\n", file.c_str());
    return 1;
  }
  std::vector<char> bytes;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  std::fclose(in);
  HANDLE update = BeginUpdateResourceW(Wide(exe).c_str(), FALSE);
  if (update == nullptr) {
    std::printf("CANNOT OPEN error=%lu\n", GetLastError());
    return 1;
  }
  const std::wstring wide_name = Wide(name);
  if (!UpdateResourceW(update, MAKEINTRESOURCEW(10), wide_name.c_str(),
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), bytes.data(),
                       static_cast<DWORD>(bytes.size())) ||
      !EndUpdateResourceW(update, FALSE)) {
    std::printf("CANNOT UPDATE error=%lu\n", GetLastError());
    return 1;
  }
  return 0;
}

bool ParseQuery(int argc, char** argv, Query* q) {
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (option == "--title")
      q->title = value;
    else if (option == "--class")
      q->window_class = value;
    else if (option == "--has-id")
      q->has_id = std::atoi(value);
    else if (option == "--not-hwnd")
      q->not_hwnd = value;
    else if (option == "--id")
      q->id = std::atoi(value);
    else if (option == "--text")
      q->text = value;
    else if (option == "--enabled")
      q->enabled = std::atoi(value);
    else if (option == "--timeout")
      q->timeout = std::atof(value);
    else
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "hold") return HoldFile(argv[2], argv[3], argv[4]);
  if (argc == 5 && std::string(argv[1]) == "add-resource") {
    return AddResource(argv[2], argv[3], argv[4]);
  }
  Query q;
  if (argc < 2 || !ParseQuery(argc, argv, &q)) {
    std::fprintf(
        stderr,
        "usage: wine_probe wait|gone|list|gap|close [options] | hold PATH SHARE RELEASE |\n"
        "       add-resource EXE NAME FILE\n");
    return 2;
  }
  const std::string command = argv[1];
  if (command == "list") {
    ListAll();
    return 0;
  }
  if (command == "gap") return MeasureGaps(q);
  if (command == "close") return SendClose(q);
  const DWORD start = GetTickCount();
  const DWORD limit = static_cast<DWORD>(q.timeout * 1000);
  for (;;) {
    HWND window = FindMatching(q);
    if (command == "wait" && window != nullptr && ControlMatches(window, q)) {
      PrintWindow(window);
      return 0;
    }
    if (command == "gone" && window == nullptr) return 0;
    if (command != "wait" && command != "gone") return 2;
    if (GetTickCount() - start > limit) break;
    Sleep(100);
  }
  std::printf("TIMEOUT %s\n", command.c_str());
  ListAll();
  return 1;
}
