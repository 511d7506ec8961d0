#include "dialog/imap_account_dialog_win32.h"

#include <memory>

#include "core/utf.h"
#include "platform/credentials_win32.h"
#include "platform/win32_handles.h"
#include "platform/win32_util.h"
#include "res/resource.h"
#include "watch/imap_account.h"
#include "watch/imap_worker_win32.h"

namespace vl {
namespace {

constexpr UINT kTestAnswer = WM_APP + 1;  // lParam: a std::string the dialog owns
constexpr unsigned kTestBudgetMs = 14000;
// A Test asked to stop ends at once, unless in a name lookup (nothing cuts
// that short): it is not waited for longer.
constexpr DWORD kStopGraceMs = 500;

// The drop-down's items, in this order.
constexpr ImapSecurity kSecurities[] = {ImapSecurity::kTls, ImapSecurity::kStartTls, ImapSecurity::kPlain};
constexpr const wchar_t* kSecurityNames[] = {L"TLS (port 993)", L"STARTTLS (port 143)",
                                             L"No encryption (this machine or local network only)"};

void Wipe(std::string& secret) {
    ::SecureZeroMemory(secret.data(), secret.size());
    secret.clear();
}

// What a Test thread owns: copies and a stop handle of its own, so that it
// may outlive the dialog; it only posts to the dialog's window.
struct TestRun {
    ImapAccount account;
    std::string password;
    UniqueKernelHandle stop;
    HWND window;
};

DWORD WINAPI TestThread(void* param) {
    const std::unique_ptr<TestRun> run(static_cast<TestRun*>(param));
    Win32ImapPorts ports(run->stop.get(), nullptr);
    auto* answer = new std::string(TestImapAccount(run->account, std::move(run->password), ports, kTestBudgetMs));
    if (!::PostMessageW(run->window, kTestAnswer, 0, reinterpret_cast<LPARAM>(answer))) delete answer;
    return 0;
}

class AccountDialog {
public:
    explicit AccountDialog(const std::string& recordText) : recordText_(recordText) {}
    std::optional<std::string> result;

    static INT_PTR CALLBACK Proc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_INITDIALOG) ::SetWindowLongPtrW(dialog, DWLP_USER, lp);
        auto* self = reinterpret_cast<AccountDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        if (!self) return FALSE;
        switch (msg) {
            case WM_INITDIALOG: self->Fill(dialog); return TRUE;
            case WM_COMMAND: self->OnCommand(LOWORD(wp), HIWORD(wp)); return TRUE;
            case kTestAnswer: self->OnTestAnswer(lp); return TRUE;
            case WM_DESTROY: self->StopTest(); return FALSE;
            default: return FALSE;
        }
    }

private:
    HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }
    void Say(const std::string& text) const { ::SetDlgItemTextW(dialog_, IDC_IMAP_ANSWER, Wide(text).c_str()); }

    void Fill(HWND dialog) {
        dialog_ = dialog;
        stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        for (const wchar_t* name : kSecurityNames)
            ::SendMessageW(Item(IDC_IMAP_SECURITY), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        // A URL of ours is shown as the line the user would type; anything else as it is.
        const std::optional<ImapAccount> account = ParseImapUrl(recordText_);
        ::SetDlgItemTextW(dialog_, IDC_IMAP_ACCOUNT, Wide(account ? AccountLine(*account) : recordText_).c_str());
        int chosen = 0;
        while (account && kSecurities[chosen] != account->security) ++chosen;
        ::SendMessageW(Item(IDC_IMAP_SECURITY), CB_SETCURSEL, chosen, 0);
        ShowStoredNote();
    }

    // The account the boxes describe; nothing, and what to type instead, when they describe none.
    std::optional<ImapAccount> Chosen() const {
        const LRESULT at = ::SendMessageW(Item(IDC_IMAP_SECURITY), CB_GETCURSEL, 0, 0);
        const ImapSecurity security = at >= 0 && at < 3 ? kSecurities[at] : ImapSecurity::kTls;
        std::optional<ImapAccount> account = ParseAccountLine(WindowTextOf(Item(IDC_IMAP_ACCOUNT)), security);
        if (!account) {
            Say("Type the account as user@server[:port][/folder].");
            return std::nullopt;
        }
        // Without encryption the password crosses the network as it is.
        if (security == ImapSecurity::kPlain && !IsLocalNetworkHost(account->host)) {
            Say(kPlainOnlyLocal);
            return std::nullopt;
        }
        return account;
    }

    // Read without a converted copy left behind.
    std::string TypedPassword() const {
        wchar_t typed[512];
        const UINT got = ::GetDlgItemTextW(dialog_, IDC_IMAP_PASSWORD, typed, 512);
        std::string password = Utf8FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(typed), got));
        ::SecureZeroMemory(typed, sizeof typed);
        return password;
    }

    // Never the password itself: only whether there is one.
    void ShowStoredNote() const {
        const std::optional<ImapAccount> account =
            ParseAccountLine(WindowTextOf(Item(IDC_IMAP_ACCOUNT)), ImapSecurity::kTls);
        std::optional<std::string> stored;
        if (account) stored = ReadStoredPassword(CredentialTarget(*account));
        ::SetDlgItemTextW(dialog_, IDC_IMAP_STORED,
                          !account ? L"" : stored ? L"A password is stored." : L"No password is stored.");
        if (stored) Wipe(*stored);
    }

    void OnCommand(int id, int code) {
        if (id == IDC_IMAP_TEST) OnTest();
        if (id == IDOK) OnOk();
        if (id == IDCANCEL) ::EndDialog(dialog_, IDCANCEL);
        if (id == IDC_IMAP_ACCOUNT && code == EN_CHANGE) ShowStoredNote();
    }

    void OnTest() {
        const std::optional<ImapAccount> account = Chosen();
        HANDLE own = nullptr;
        if (!account || !::DuplicateHandle(::GetCurrentProcess(), stop_.get(), ::GetCurrentProcess(), &own,
                                           SYNCHRONIZE, FALSE, 0))
            return;
        std::unique_ptr<TestRun> run(new TestRun{*account, TypedPassword(), UniqueKernelHandle(own), dialog_});
        if (run->password.empty())
            if (std::optional<std::string> stored = ReadStoredPassword(CredentialTarget(*account))) {
                run->password = *stored;
                Wipe(*stored);
            }
        if (run->password.empty()) return Say("Type the password: none is stored for this account.");
        thread_.reset(::CreateThread(nullptr, 0, TestThread, run.get(), 0, nullptr));
        if (!thread_) {
            Wipe(run->password);
            return Say("failed: no thread for the test");
        }
        (void)run.release();  // the thread's now
        Say("Testing...");
        // A disabled button drops the focus, and the keyboard with it.
        if (::GetFocus() == Item(IDC_IMAP_TEST)) ::SetFocus(Item(IDC_IMAP_PASSWORD));
        ::EnableWindow(Item(IDC_IMAP_TEST), FALSE);
    }

    void OnTestAnswer(LPARAM lp) {
        const std::unique_ptr<std::string> answer(reinterpret_cast<std::string*>(lp));
        Say(*answer);
        ::EnableWindow(Item(IDC_IMAP_TEST), TRUE);
    }

    void OnOk() {
        const std::optional<ImapAccount> account = Chosen();
        if (!account) return (void)::SetFocus(Item(IDC_IMAP_ACCOUNT));
        if (std::string password = TypedPassword(); !password.empty()) {
            const bool stored = StorePassword(CredentialTarget(*account), account->user, password);
            Wipe(password);
            if (!stored) return Say("The password could not be stored in the Credential Manager.");
        }
        result = ImapUrl(*account);
        ::EndDialog(dialog_, IDOK);
    }

    // A Test that ends within the moment has posted its answer: taken here,
    // not left for a window that is gone.
    void StopTest() {
        if (stop_) ::SetEvent(stop_.get());
        if (!thread_ || ::WaitForSingleObject(thread_.get(), kStopGraceMs) != WAIT_OBJECT_0) return;
        MSG msg;
        while (::PeekMessageW(&msg, dialog_, kTestAnswer, kTestAnswer, PM_REMOVE))
            delete reinterpret_cast<std::string*>(msg.lParam);
    }

    const std::string& recordText_;
    HWND dialog_ = nullptr;
    UniqueKernelHandle stop_;    // manual reset, set when the dialog closes; each Test has its own handle to it
    UniqueKernelHandle thread_;  // the running or the last Test
};

}  // namespace

std::optional<std::string> EditImapAccount(HWND owner, HINSTANCE instance, const std::string& recordText) {
    AccountDialog dialog(recordText);
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_IMAP_ACCOUNT), owner ? ::GetAncestor(owner, GA_ROOT) : nullptr,
                      AccountDialog::Proc, reinterpret_cast<LPARAM>(&dialog));
    return dialog.result;
}

}  // namespace vl
