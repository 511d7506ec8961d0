// UiProbe commands that drive controls of another process the way a user
// would, so the owner sees its normal notifications.
#include <cstdio>

#include "snap_common.h"
#include "ui_probe.h"
#include "ui_probe_remote.h"

namespace probe {
namespace {

constexpr UINT kClickWaitMs = 1000;  // longer means the click opened a modal loop

struct Target {
  HWND window = nullptr;
  HWND control = nullptr;
  int error = kOk;
};

// Resolves "<window> <control>" from the first two arguments.
Target WindowAndControl(const Args& a) {
  Target t;
  t.window = ResolveWindow(a[0]);
  if (t.window == nullptr) {
    t.error = Fail(kNotFound, "no window " + a[0]);
    return t;
  }
  t.control = ResolveControl(t.window, a[1]);
  if (t.control == nullptr) t.error = Fail(kNotFound, "no control " + a[1] + " in " + a[0]);
  return t;
}

HWND ControlOfClass(const std::string& window, const wchar_t* cls, int& error) {
  HWND root = ResolveWindow(window);
  HWND found = root != nullptr ? FindDescendantOfClass(root, cls) : nullptr;
  if (found == nullptr) error = Fail(kNotFound, "no " + vl::Narrow(cls) + " in " + window);
  return found;
}

// WM_COMMAND as the control itself would send it to its parent.
void NotifyParent(HWND control, WORD code) {
  SendTimed(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
            reinterpret_cast<LPARAM>(control));
}

bool SetListViewState(HWND lv, RemoteBuffer& mem, int index, UINT mask, UINT state) {
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  return mem.Write(0, item) && SendTimed(lv, LVM_SETITEMSTATE, index, mem.At(0)) != 0;
}

// Only used when the tab control would not switch by itself (button-style
// tabs): on Windows the parent then gets the notifications from here. Wine
// refuses WM_NOTIFY between processes, so there this path cannot work.
bool SwitchTabByNotify(HWND tab, int index) {
  RemoteBuffer mem(tab, sizeof(NMHDR));
  if (!mem.ok()) return false;
  NMHDR hdr{tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), static_cast<UINT>(TCN_SELCHANGING)};
  HWND parent = GetParent(tab);
  if (!mem.Write(0, hdr) || SendTimed(parent, WM_NOTIFY, hdr.idFrom, mem.At(0)) != 0) return false;
  SendTimed(tab, TCM_SETCURSEL, index, 0);
  hdr.code = static_cast<UINT>(TCN_SELCHANGE);
  if (!mem.Write(0, hdr)) return false;
  SendTimed(parent, WM_NOTIFY, hdr.idFrom, mem.At(0));
  return true;
}

class ScopedThreadAttach {
 public:
  ScopedThreadAttach(DWORD from, DWORD to) : from_(from), to_(to) {
    attached_ = from != to && AttachThreadInput(from, to, TRUE);
  }
  ScopedThreadAttach(const ScopedThreadAttach&) = delete;
  ScopedThreadAttach& operator=(const ScopedThreadAttach&) = delete;
  ~ScopedThreadAttach() {
    if (attached_) AttachThreadInput(from_, to_, FALSE);
  }
  bool attached() const { return attached_; }

 private:
  DWORD from_, to_;
  bool attached_ = false;
};

}  // namespace

int CmdClick(const Args& a) {
  if (a.size() != 2) return kUsage;
  const Target t = WindowAndControl(a);
  if (t.error != kOk) return t.error;
  // A click that opens a modal loop answers late; done=0 reports that.
  bool done = false;
  SendTimed(t.control, BM_CLICK, 0, 0, &done, kClickWaitMs);
  Record().Hwnd("hwnd", t.control).Num("done", done ? 1 : 0).Print();
  return kOk;
}

int CmdCommand(const Args& a) {
  long long id = 0;
  if (a.size() != 2 || !ParseInt(a[1], id)) return kUsage;
  HWND hwnd = ResolveWindow(a[0]);
  if (hwnd == nullptr) return Fail(kNotFound, "no window " + a[0]);
  const bool ok = PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0) != 0;
  Record().Hwnd("hwnd", hwnd).Num("id", id).Num("ok", ok ? 1 : 0).Print();
  return ok ? kOk : kFailed;
}

// What Windows sends a window moved to a monitor of another scale: the new
// DPI and the rectangle it proposes (here the window's own, grown or shrunk
// from its top-left corner by the ratio of the two scales).
int CmdDpiChange(const Args& a) {
  long long from = 0, to = 0;
  if (a.size() != 3 || !ParseInt(a[1], from) || !ParseInt(a[2], to) || from <= 0 || to <= 0) return kUsage;
  HWND hwnd = ResolveWindow(a[0]);
  if (hwnd == nullptr) return Fail(kNotFound, "no window " + a[0]);
  RECT r{};
  GetWindowRect(hwnd, &r);
  const RECT suggested{r.left, r.top, r.left + MulDiv(r.right - r.left, int(to), int(from)),
                       r.top + MulDiv(r.bottom - r.top, int(to), int(from))};
  RemoteBuffer mem(hwnd, sizeof(RECT));
  if (!mem.ok() || !mem.Write(0, suggested)) return Fail(kFailed, mem.error());
  bool ok = false;
  SendTimed(hwnd, WM_DPICHANGED, MAKEWPARAM(to, to), mem.At(0), &ok);
  Record().Hwnd("hwnd", hwnd).Num("dpi", to).Num("ok", ok ? 1 : 0).Print();
  return ok ? kOk : kFailed;
}

int CmdTab(const Args& a) {
  long long index = 0;
  if (a.size() != 2 || !ParseInt(a[1], index)) return kUsage;
  int error = kOk;
  HWND tab = ControlOfClass(a[0], WC_TABCONTROLW, error);
  if (tab == nullptr) return error;
  if (index < 0 || index >= SendTimed(tab, TCM_GETITEMCOUNT, 0, 0))
    return Fail(kNotFound, "no such tab");
  // TCM_SETCURFOCUS makes the control itself send TCN_SELCHANGING and
  // TCN_SELCHANGE to its parent, exactly as for a click.
  SendTimed(tab, TCM_SETCURFOCUS, index, 0);
  const char* method = "setcurfocus";
  if (SendTimed(tab, TCM_GETCURSEL, 0, 0) != index) {
    method = "notify";
    SwitchTabByNotify(tab, static_cast<int>(index));
  }
  const LRESULT cur = SendTimed(tab, TCM_GETCURSEL, 0, 0);
  Record().Hwnd("hwnd", tab).Num("cur", cur).Raw("method", method).Print();
  return cur == index ? kOk : kFailed;
}

int CmdLbSelect(const Args& a) {
  long long index = 0;
  if (a.size() != 3 || !ParseInt(a[2], index)) return kUsage;
  const Target t = WindowAndControl(a);
  if (t.error != kOk) return t.error;
  if (GetWindowLongW(t.control, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
    SendTimed(t.control, LB_SETSEL, FALSE, -1);
    SendTimed(t.control, LB_SETSEL, TRUE, index);
    SendTimed(t.control, LB_SETCARETINDEX, index, FALSE);
  } else {
    SendTimed(t.control, LB_SETCURSEL, index, 0);
  }
  NotifyParent(t.control, LBN_SELCHANGE);
  const LRESULT sel = SendTimed(t.control, LB_GETCURSEL, 0, 0);
  Record().Hwnd("hwnd", t.control).Num("sel", sel).Print();
  return sel == index ? kOk : kFailed;
}

int CmdCbSelect(const Args& a) {
  long long index = 0;
  if (a.size() != 3 || !ParseInt(a[2], index)) return kUsage;
  const Target t = WindowAndControl(a);
  if (t.error != kOk) return t.error;
  SendTimed(t.control, CB_SETCURSEL, index, 0);
  NotifyParent(t.control, CBN_SELCHANGE);
  const LRESULT sel = SendTimed(t.control, CB_GETCURSEL, 0, 0);
  Record().Hwnd("hwnd", t.control).Num("sel", sel).Print();
  return sel == index ? kOk : kFailed;
}

int CmdLvSelect(const Args& a) {
  long long index = 0;
  if (a.size() != 2 || !ParseInt(a[1], index)) return kUsage;
  int error = kOk;
  HWND lv = ControlOfClass(a[0], WC_LISTVIEWW, error);
  if (lv == nullptr) return error;
  RemoteBuffer mem(lv, sizeof(LVITEMW));
  if (!mem.ok()) return Fail(kFailed, mem.error());
  // Like a plain click: only this row ends up selected and focused.
  if (!(GetWindowLongW(lv, GWL_STYLE) & LVS_SINGLESEL))
    SetListViewState(lv, mem, -1, LVIS_SELECTED, 0);
  const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
  SetListViewState(lv, mem, static_cast<int>(index), both, both);
  SendTimed(lv, LVM_ENSUREVISIBLE, index, FALSE);
  const LRESULT state = SendTimed(lv, LVM_GETITEMSTATE, index, both);
  Record()
      .Hwnd("hwnd", lv)
      .Num("index", index)
      .Num("selected", (state & LVIS_SELECTED) ? 1 : 0)
      .Print();
  return (state & LVIS_SELECTED) ? kOk : kFailed;
}

int CmdLvCheck(const Args& a) {
  long long index = 0, check = 0;
  if (a.size() != 3 || !ParseInt(a[1], index) || !ParseInt(a[2], check)) return kUsage;
  int error = kOk;
  HWND lv = ControlOfClass(a[0], WC_LISTVIEWW, error);
  if (lv == nullptr) return error;
  RemoteBuffer mem(lv, sizeof(LVITEMW));
  if (!mem.ok()) return Fail(kFailed, mem.error());
  // State image 1 is the empty box, 2 the ticked one.
  SetListViewState(lv, mem, static_cast<int>(index), LVIS_STATEIMAGEMASK,
                   INDEXTOSTATEIMAGEMASK(check ? 2 : 1));
  const LRESULT state = SendTimed(lv, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK);
  const int checked = ((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0;
  Record().Hwnd("hwnd", lv).Num("index", index).Num("checked", checked).Print();
  return checked == (check ? 1 : 0) ? kOk : kFailed;
}

int CmdSetText(const Args& a) {
  if (a.size() != 3) return kUsage;
  const Target t = WindowAndControl(a);
  if (t.error != kOk) return t.error;
  bool done = false;
  const std::wstring text = vl::Wide(a[2]);  // any script, emoji as surrogate pairs
  SendTimed(t.control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &done);
  // Not every edit control reports a WM_SETTEXT change to its parent.
  NotifyParent(t.control, EN_CHANGE);
  Record()
      .Hwnd("hwnd", t.control)
      .Num("ok", done ? 1 : 0)
      .Text("text", ControlText(t.control))
      .Print();
  return done ? kOk : kFailed;
}

int CmdKey(const Args& a) {
  long long vk = 0;
  if (a.size() != 3 || !ParseInt(a[2], vk)) return kUsage;
  const Target t = WindowAndControl(a);
  if (t.error != kOk) return t.error;
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC))
                      << 16;
  const LPARAM up_bits = static_cast<LPARAM>(0xC0000000u);  // was down, now going up
  const bool ok = PostMessageW(t.control, WM_KEYDOWN, vk, 1 | scan) &&
                  PostMessageW(t.control, WM_KEYUP, vk, 1 | scan | up_bits);
  Record().Hwnd("hwnd", t.control).Num("vk", vk).Num("ok", ok ? 1 : 0).Print();
  return ok ? kOk : kFailed;
}

int CmdFocus(const Args& a) {
  if (a.size() != 2) return kUsage;
  const Target t = WindowAndControl(a);
  if (t.error != kOk) return t.error;
  // Focus belongs to a thread's input state; sharing it lets SetFocus
  // reach a window of another process.
  ScopedThreadAttach attach(GetCurrentThreadId(), GetWindowThreadProcessId(t.control, nullptr));
  SetFocus(t.control);
  HWND now = GetFocus();
  Record()
      .Hwnd("hwnd", t.control)
      .Hwnd("focus", now)
      .Num("attached", attach.attached() ? 1 : 0)
      .Num("ok", now == t.control ? 1 : 0)
      .Print();
  return now == t.control ? kOk : kFailed;
}

// PrintWindow asks the owner to paint into our DC. Wine cannot pass a DC to
// another process, so there the picture stays black (blank=1); "screen"
// copies the window's rectangle from the screen instead, and "auto" does
// that only when PrintWindow produced nothing.
int CmdPrintWindow(const Args& a) {
  std::uintptr_t value = 0;
  if (a.size() < 2 || a.size() > 3 || !ParseHex(a[0], value)) return kUsage;
  const std::string mode = a.size() == 3 ? a[2] : "print";
  if (mode != "print" && mode != "screen" && mode != "auto") return kUsage;
  HWND hwnd = reinterpret_cast<HWND>(value);
  RECT r{};
  if (!IsWindow(hwnd) || !GetWindowRect(hwnd, &r)) return Fail(kNotFound, "no window " + a[0]);
  const LONG width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return Fail(kFailed, "window has no area");

  BITMAPINFO bi = snap::Bgr24(width, height);
  void* bits = nullptr;
  vl::UniqueDc dc(CreateCompatibleDC(nullptr));
  vl::UniqueBitmap bmp(CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (dc.get() == nullptr || bmp.get() == nullptr) return Fail(kFailed, "cannot create bitmap");
  const auto blank = [&] { return snap::AllBlack(bits, bi.bmiHeader.biSizeImage); };
  bool ok = false;
  const char* used = "print";
  {
    vl::SelectedObject select(dc.get(), bmp.get());
    if (mode != "screen") ok = PrintWindow(hwnd, dc.get(), 0) != 0;
    if (mode == "screen" || (mode == "auto" && (!ok || blank()))) {
      used = "screen";
      const vl::UniqueWindowDc screen = vl::GetWindowDc(nullptr);
      ok = BitBlt(dc.get(), 0, 0, width, height, screen.get(), r.left, r.top,
                  SRCCOPY | CAPTUREBLT) != 0;
    }
  }
  const bool is_blank = blank();
  const bool saved = snap::WriteBmp(a[1], bi.bmiHeader, bits);
  Record()
      .Hwnd("hwnd", hwnd)
      .Num("width", width)
      .Num("height", height)
      .Raw("method", used)
      .Num("blank", is_blank ? 1 : 0)
      .Num("ok", ok && saved ? 1 : 0)
      .Print();
  return ok && saved ? kOk : kFailed;
}

}  // namespace probe
