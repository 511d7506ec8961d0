// The poll cycle: one look at every watched application per watchdog tick.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/runtime_state.h"
#include "settings/settings_store.h"
#include "watch/job_watch.h"

namespace vl {

// What the cycle looks at: the desktop, the file system, the processes and
// the mail system.
class Desktop : public JobSources {
public:
    virtual ~Desktop() = default;
    // Captions of all top-level windows, in one pass (windows without a caption give "").
    virtual std::vector<std::string> TopLevelCaptions() = 0;
    // The mail check runs apart from the cycle, since a mail system may take
    // seconds or never answer. The cycle asks for one check (ignored while
    // one runs) and takes the answer of the last one completed: "you've got
    // mail" or ""; nothing before the first answer, or when the mail library
    // cannot be used.
    virtual void RequestMailCheck() = 0;
    virtual std::optional<std::string> LastMailAnswer() = 0;
    // The unseen messages that reached an IMAP account (the record's text)
    // after the run started, as its watcher last told; nothing while it has
    // told nothing. The first ask starts watching the account, apart from
    // the cycle; one watcher serves every record of the same account.
    virtual std::optional<std::uint32_t> ImapNewMail(const std::string& url) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // The file's modification date in the general date form; nothing if unreadable.
    virtual std::optional<std::string> FileDate(const std::string& path) = 0;
    // A stored date brought into the general date form; text that is no date stays as it is.
    virtual std::string NormalizeDate(const std::string& stored) = 0;
};

// Where the cycle reports an event.
class Notifier {
public:
    virtual ~Notifier() = default;
    // sIconPath may be completed to a full path.
    virtual void ShowIconEx(std::int16_t nIndex, std::string& sIconPath) = 0;
    virtual void ShowIcon(std::int16_t nIndex, std::string& sIconPath) = 0;
    // Text at (1,1) of the screen.
    virtual void WriteText(std::string_view text) = 0;
    // Record number `record` (of AppTable) has an event; told before it is
    // shown. `detail` tells events of one record apart: the new file's name.
    virtual void EventFound(int record, std::string_view name, std::int16_t method, std::string_view detail) = 0;
    // Whether the icon (as the record names it) is on show already, so that
    // showing it again would change nothing.
    virtual bool IconShown(const std::string& icon) = 0;
};

inline constexpr char kMailText[] = "You've got email";
inline constexpr char kModifiedSuffix[] = " has been modified";
inline constexpr char kEndedSuffix[] = " has ended";
inline constexpr char kNewFilePrefix[] = "New file: ";

// "New mail for jo@imap.example.com": an IMAP record's text without an icon.
std::string ImapMailText(std::string_view url);

// Whether a window caption satisfies a "Wait for window" record: an exact,
// case-sensitive substring; an empty text matches every captioned window.
bool CaptionMatches(std::string_view caption, std::string_view wanted);

// One cycle over AppTable. Runs only while the saver is confirmed, and never
// inside itself (a display call may pump messages). A damaged record or a
// failing check is skipped for this tick; the cycle goes on. Every ticked
// mail record of a cycle takes the same answer, and the cycle asks for one
// mail check at most. Each cycle entered counts in PollCycles. Without the
// summary of what happened, a window or mail record whose icon (or text) is
// on show already is not looked at: no caption pass or mail check is made
// for what could change nothing; the same holds for a program or folder
// record whose icon is on show. `jobs` keeps what those two methods saw in
// earlier cycles of the run.
void CheckAll(RuntimeState& state, Desktop& desktop, Notifier& notifier, SettingsStore& store, JobWatch& jobs);

}  // namespace vl
