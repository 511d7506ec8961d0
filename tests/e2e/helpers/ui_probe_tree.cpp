// UiProbe `tree`: a window and all its descendants with the state tests
// assert on (checks, list contents, tab pages, texts).
#include "ui_probe.h"
#include "ui_probe_remote.h"

namespace probe {
namespace {

constexpr int kMaxWindows = 5000;  // guards against windows appearing mid-walk
constexpr int kTextChars = 1024;

// Remote layout for the item queries: the structure, then its wide text buffer.
constexpr SIZE_T kTextOffset = 256;
constexpr SIZE_T kRemoteSize = kTextOffset + kTextChars * sizeof(wchar_t);
static_assert(sizeof(LVITEMW) <= kTextOffset && sizeof(TCITEMW) <= kTextOffset);

wchar_t* RemoteText(RemoteBuffer& mem) { return reinterpret_cast<wchar_t*>(mem.Remote(kTextOffset)); }

void AddListBoxFields(HWND lb, Record& rec, std::vector<Record>& extra, bool combo) {
  const UINT count_msg = combo ? CB_GETCOUNT : LB_GETCOUNT;
  const UINT sel_msg = combo ? CB_GETCURSEL : LB_GETCURSEL;
  const UINT len_msg = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  const UINT text_msg = combo ? CB_GETLBTEXT : LB_GETTEXT;
  const UINT data_msg = combo ? CB_GETITEMDATA : LB_GETITEMDATA;
  const LRESULT count = SendTimed(lb, count_msg, 0, 0);
  const LRESULT sel = SendTimed(lb, sel_msg, 0, 0);
  rec.Num("count", count).Num("sel", sel);
  for (LRESULT i = 0; i < count; ++i) {
    const std::string text = ItemText(lb, len_msg, text_msg, i);
    const bool selected = combo ? i == sel : SendTimed(lb, LB_GETSEL, i, 0) > 0;
    Record item;
    item.Word("item").Num("index", i).Num("data", SendTimed(lb, data_msg, i, 0));
    item.Num("selected", selected ? 1 : 0).Text("text", text);
    extra.push_back(item);
  }
}

// A row's bounds on the screen, where a test clicks it with the mouse.
std::string ListViewRowRect(HWND lv, RemoteBuffer& mem, int row) {
  RECT r{};
  r.left = LVIR_BOUNDS;
  if (!mem.Write(0, r) || !SendTimed(lv, LVM_GETITEMRECT, row, mem.At(0)) || !mem.Read(0, r)) return "";
  MapWindowPoints(lv, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return RectText(r);
}

std::string ListViewText(HWND lv, RemoteBuffer& mem, int row, int column) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = RemoteText(mem);
  item.cchTextMax = kTextChars;
  const wchar_t nul = L'\0';
  if (!mem.Write(0, item) || !mem.Write(kTextOffset, nul)) return {};
  SendTimed(lv, LVM_GETITEMTEXTW, row, mem.At(0));
  // The control may answer with a pointer to its own copy instead.
  LVITEMW back{};
  if (!mem.Read(0, back)) return {};
  return mem.ReadWideString(back.pszText, kTextChars);
}

void AddListViewFields(HWND lv, Record& rec, std::vector<Record>& extra) {
  const LRESULT count = SendTimed(lv, LVM_GETITEMCOUNT, 0, 0);
  HWND header = reinterpret_cast<HWND>(SendTimed(lv, LVM_GETHEADER, 0, 0));
  const LRESULT header_cols = header != nullptr ? SendTimed(header, HDM_GETITEMCOUNT, 0, 0) : 0;
  const int columns = header_cols > 0 ? static_cast<int>(header_cols) : 1;
  rec.Num("count", count).Num("cols", columns);
  RemoteBuffer mem(lv, kRemoteSize);
  if (!mem.ok()) rec.Text("remote_error", mem.error());
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT state = SendTimed(lv, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK | LVIS_SELECTED);
    Record row;
    row.Word("row").Num("index", i);
    row.Num("checked", ((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0);
    row.Num("selected", (state & LVIS_SELECTED) ? 1 : 0);
    if (mem.ok()) row.Raw("rect", ListViewRowRect(lv, mem, static_cast<int>(i)));
    for (int c = 0; c < columns; ++c) {
      const std::string key = c == 0 ? "text" : "sub" + std::to_string(c);
      row.Text(key.c_str(), mem.ok() ? ListViewText(lv, mem, static_cast<int>(i), c) : "");
    }
    extra.push_back(row);
  }
}

void AddTabFields(HWND tab, Record& rec, std::vector<Record>& extra) {
  const LRESULT count = SendTimed(tab, TCM_GETITEMCOUNT, 0, 0);
  rec.Num("count", count).Num("cur", SendTimed(tab, TCM_GETCURSEL, 0, 0));
  RemoteBuffer mem(tab, kRemoteSize);
  if (!mem.ok()) rec.Text("remote_error", mem.error());
  for (LRESULT i = 0; i < count; ++i) {
    std::string text;
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = RemoteText(mem);
    item.cchTextMax = kTextChars;
    const wchar_t nul = L'\0';
    if (mem.ok() && mem.Write(0, item) && mem.Write(kTextOffset, nul) &&
        SendTimed(tab, TCM_GETITEMW, i, mem.At(0)) && mem.Read(0, item))
      text = mem.ReadWideString(item.pszText, kTextChars);
    Record line;
    line.Word("tab").Num("index", i).Text("text", text);
    extra.push_back(line);
  }
}

class TreeDump {
 public:
  // The keyboard focus of the thread that owns root.
  explicit TreeDump(HWND root) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(root, nullptr), &info)) focus_ = info.hwndFocus;
  }

  void Dump(HWND hwnd, int depth) {
    if (++printed_ > kMaxWindows) return;
    PrintOne(hwnd, depth);
    for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
      Dump(child, depth + 1);
  }

 private:
  void PrintOne(HWND hwnd, int depth) const {
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    RECT r{}, client{};
    GetWindowRect(hwnd, &r);
    GetClientRect(hwnd, &client);
    Record rec;
    rec.Num("depth", depth).Hwnd("hwnd", hwnd).Hwnd("parent", GetParent(hwnd));
    rec.Num("id", (style & WS_CHILD) ? GetDlgCtrlID(hwnd) : 0);  // top-levels hold a menu there
    rec.Text("class", ClassOf(hwnd)).Hex("style", static_cast<DWORD>(style));
    rec.Num("visible", IsWindowVisible(hwnd) ? 1 : 0).Num("enabled", IsWindowEnabled(hwnd) ? 1 : 0);
    rec.Num("focus", hwnd == focus_ ? 1 : 0);
    rec.Raw("rect", RectText(r))
        .Raw("client", helpers::Format("%ld,%ld", client.right, client.bottom));
    std::vector<Record> extra;
    if (IsClass(hwnd, L"Button"))
      rec.Num("check", SendTimed(hwnd, BM_GETCHECK, 0, 0));
    else if (IsClass(hwnd, L"ListBox") || IsClass(hwnd, L"ComboLBox"))
      AddListBoxFields(hwnd, rec, extra, false);
    else if (IsClass(hwnd, L"ComboBox"))
      AddListBoxFields(hwnd, rec, extra, true);
    else if (IsClass(hwnd, WC_LISTVIEWW))
      AddListViewFields(hwnd, rec, extra);
    else if (IsClass(hwnd, WC_TABCONTROLW))
      AddTabFields(hwnd, rec, extra);
    rec.Text("text", ControlText(hwnd)).Print();
    for (const Record& line : extra) line.Print();
  }

  HWND focus_ = nullptr;
  int printed_ = 0;
};

}  // namespace

int CmdTree(const Args& a) {
  if (a.size() != 1) return kUsage;
  HWND root = ResolveWindow(a[0]);
  if (root == nullptr) return Fail(kNotFound, "no window " + a[0]);
  TreeDump(root).Dump(root, 0);
  return kOk;
}

}  // namespace probe
