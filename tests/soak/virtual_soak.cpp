// The soak in virtual time: the whole plug-in on the fake platform for an
// hour of its clock, the simulated phone on COM1 and the player (with another
// plug-in's menus) behind the host window, and a seeded random user who opens
// the menu, chooses entries (some that do not exist) and answers dialogs,
// while faults come and go: DSR drops, a silent phone, junk on the line, port
// changes through the configuration dialog, and the player changing under the
// menus. After every step the player must be where the user's commands put
// it; after every fault the link must come back within a bound, with no
// handle left behind. With RemoteKeys=1 the main menu offers the key
// screen, on which the user presses and holds the phone's keys. With
// PauseOnCall=1 calls ring, are dialled, answered, missed and hung up, now
// and then with the phone away and back during one or refusing +CLCC: the
// player is paused and resumed as the call tracker should. The Charset of
// the run (none, auto, or a named set) meets a phone offering some sets, and
// the titles in other scripts show on the phone as the agreed set folds them.
// Where features meet, the rules are the plug-in's: a call that rings or goes
// on closes the key screen, and during one the key screen's entry only says
// why not. The phone is of the older or the newer generation, by seed; with
// FindTrack=1 the user searches the playlist by name and plays what is found.
//
//   virtual_soak [--seed N] [--minutes M]   (M minutes of virtual time, 60 by default)

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "charsets.h"
#include "fake_player.h"
#include "fake_port_phone.h"
#include "link/connection_setup.h"
#include "link/status_line.h"
#include "menus/phone_text.h"
#include "platform/fake/fake_platform.h"
#include "platform/host_messages.h"
#include "plugin_entries.h"
#include "sample_menus.h"
#include "shell/config_dialog.h"
#include "shell/plugin.h"

namespace quillet::soak {
namespace {

using phone::DialogType;

constexpr char kConnected[] = "Ready and connected to SimPhone QX-1.";
constexpr char kIniPath[] = "C:\\P\\plugin.ini";
constexpr char kTraceFile[] = "soak.log";

// Bounds, in virtual time.
constexpr std::uint64_t kAnswerBoundMs = 5000;      // a page or dialog after the user acts
constexpr std::uint64_t kSettleMs = 500;            // then anything more it would send
constexpr std::uint64_t kSilenceMs = 3000;          // watched for an action that sends nothing
constexpr std::uint64_t kReconnectBoundMs = 20000;  // fault removed: connected again
// ... and the line quiet: what the user did meanwhile is answered first (a
// dozen openings take 20 s on the newer set).
constexpr std::uint64_t kQuietBoundMs = 60000;
constexpr std::uint64_t kQuietMs = 2000;
constexpr std::uint64_t kReopenBoundMs = 10000;  // then a menu opening answered
constexpr std::uint64_t kPortChangeBoundMs = 15000;

struct SoakFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct PlayerState {
  std::int32_t volume = 0;
  std::int32_t position = 0;
  std::int32_t state = 0;
  bool video = false;
  std::int32_t length = 0;

  bool operator==(const PlayerState& o) const {
    return volume == o.volume && position == o.position && state == o.state && video == o.video &&
           length == o.length;
  }
  std::string Text() const {
    return "volume=" + std::to_string(volume) + " position=" + std::to_string(position) +
           " state=" + std::to_string(state) + " video=" + (video ? "on" : "off") +
           " length=" + std::to_string(length);
  }
};

// What the user expects of one action.
struct Expect {
  enum class Answer { kNothing, kPage, kDialog, kPageOrDialog };
  Answer answer = Answer::kNothing;
  std::vector<std::string> titles;  // the page's or dialog's title, one of these; empty: any
  DialogType dialogType = DialogType::Notice;
  // Further checks of the screen once answered: empty, or what is wrong.
  std::function<std::string(const phone::Screen&)> screen;
  PlayerState player;
  bool playerKnown = true;
  std::vector<std::uintptr_t> posted;  // commands posted to the player's window
  std::vector<ValueChange> changes;    // values the other plug-in is told
  // Commands sent besides the page or dialog, in order: the key screen's
  // reports turned on after its dialog, or off before the page.
  std::vector<std::string> also;
  // The key screen's entry while the plug-in may or may not count a call:
  // the screen with its reports, or the notice, whichever came is checked.
  bool keyScreenOrNotice = false;
  // Back from a top-level page: nothing of ours stays on the phone.
  bool leaves = false;
  // The phone refuses the dialog: the page stays.
  bool refusedDialog = false;
  bool lastValueAny = false;  // a text's value is its buffer's address
};

struct Marks {
  std::size_t history = 0;
  std::size_t changes = 0;
};

std::string Join(const std::vector<std::string>& items) {
  std::string text = "[";
  for (std::size_t i = 0; i < items.size(); ++i) text += (i ? "|" : "") + items[i];
  return text + "]";
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A command that puts a page, notice or dialog up, in either command set.
bool Draws(const std::string& command) {
  for (const char* prefix : {"AT*EASM=", "AT*EAID=", "AT*SELIST=", "AT*SELERT=", "AT*SEGAUGE=",
                             "AT*SEONO=", "AT*SESTRI="})
    if (StartsWith(command, prefix)) return true;
  return false;
}

// The newer set's upkeep: an object of ours deleted, a session begun or
// ended. Where and how often it comes is the plug-in's affair; what it must
// leave on the phone (one object of ours at most, none once the menu is
// left) is checked on the phone's objects instead.
bool Upkeep(const std::string& command) {
  return StartsWith(command, "AT*SEDEL=") || StartsWith(command, "AT*SEUIS=");
}

std::vector<std::string> WithoutUpkeep(const std::vector<std::string>& commands) {
  std::vector<std::string> kept;
  for (const std::string& c : commands)
    if (!Upkeep(c)) kept.push_back(c);
  return kept;
}

// The pages that leave the menus on back: the player's main menu and the
// other plug-in's, each opened at the top.
bool TopLevel(const std::string& title) {
  return title == "Winamp menu" || title == "Sample menu";
}

// A Level item's value for a percentage, and where a value lies on its
// scale of steps, as the menus document them.
std::int32_t FromPercentOf(std::int32_t percent, std::int32_t minimum, std::int32_t maximum) {
  return static_cast<std::int32_t>(minimum +
                                   (std::int64_t{maximum} - minimum) * std::int64_t{percent} / 100);
}
std::int32_t StepsOf(std::int32_t value, std::int32_t minimum, std::int32_t maximum) {
  const std::int64_t range = std::int64_t{maximum} - minimum;
  const std::int64_t offset = std::int64_t{value} - minimum;
  if (range <= 10) return static_cast<std::int32_t>(offset);
  return static_cast<std::int32_t>((range / 2 + offset * 10) / range);
}

const char* StatePrefix(std::int32_t state) {
  switch (state) {
    case 0:
      return "Stopped, ";
    case 1:
      return "Playing ";
    case 3:
      return "Paused, ";
    default:
      return "";
  }
}

// "k. title" on a playlist page: k, or 0 for any other label.
std::int64_t EntryNumber(const std::string& label) {
  std::size_t i = 0;
  std::int64_t n = 0;
  while (i < label.size() && label[i] >= '0' && label[i] <= '9') n = n * 10 + (label[i++] - '0');
  if (i == 0 || label.compare(i, 2, ". ") != 0) return 0;
  return n;
}

// A title in another script, and what the phone shows of it where the set
// agreed lacks some of its characters.
struct ForeignTitle {
  const char* unicode;  // UTF-8; UTF-8 carries it as it is
  const char* latin1;   // in 8859-1
  const char* ascii;    // with the set on but none agreed
  // Its letters and digits as a search sees them: lower case, no accents or
  // marks, every other character a blank (the user's searches are letters,
  // digits and blanks only).
  const char* searched;
};
const ForeignTitle kForeignTitles[] = {
    {"Caf\u00e9 \u2013 D\u00e9j\u00e0 Vu", "Caf\u00e9 - D\u00e9j\u00e0 Vu", "Cafe - Deja Vu",
     "cafe \x01 deja vu"},
    {"\u041a\u0438\u043d\u043e", "????", "????", "\x01\x01\x01\x01"},
    {"\u591c\u306e\u6b4c", "???", "???", "\x01\x01\x01"},
    {"\u00dcber den Wolken", "\u00dcber den Wolken", "Uber den Wolken", "uber den wolken"},
    {"\u201cHey\u201d \u2026 it\u2019s", "'Hey' ... it's", "'Hey' ... it's",
     "\x01hey\x01 \x01 it\x01s"},
    // Beyond 16 bits: a surrogate pair in UTF-16.
    {"\U0001F3B5 Song", "? Song", "? Song", "\x01 song"},
};

// The searches the user types for "Find track", each with letters, digits
// and blanks only: some find the foreign titles through their accents, some
// only "Track n" titles, some nothing; "" asks for the last text again. The
// last column: found early in any playlist, so fit for the longest ones.
struct Search {
  const char* typed;
  bool early;
};
const Search kSearches[] = {
    {"deja vu", false}, {"CAFE", false}, {"uber", false}, {"Song", false},
    {"track 1", true},  {"TRACK", true}, {"7", true},     {"k 2", true},
    {"Wolken", false},  {"zzz", false},  {"", true},      {"track 99999", false},
    {"e", false},       {"12", true},    {"a", true},     {"HEY", false},
};

// What the plug-in and the phone agree on: nothing asked (today's bytes, the
// player's ANSI titles), or the set the phone took.
enum class Agreed { kNoCharset, kUtf8, kLatin1, kAscii };

// What the phone shows for a text it received, as UTF-8.
std::string Shows(const std::string& bytes, const std::string& charset) {
  return ToUtf8(phone::Shown(bytes, charset));
}

std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (const char32_t c : phone::Shown(utf8, "UTF-8")) {
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

struct Options {
  std::uint64_t seed = 20240611;
  std::uint64_t virtualMs = 60ull * 60 * 1000;
};

class Soak {
 public:
  explicit Soak(const Options& options)
      : options_(options),
        rng_(options.seed),
        player_(playerSide_),
        phone_(os_),
        plugin_(os_, testing::kNoEntries) {}

  int Run();

 private:
  enum class FaultKind { kDsrDrop, kSilent, kJunk, kPortChange };
  struct Fault {
    FaultKind kind;
    std::uint64_t endsAt;
    std::uint64_t startedAt;
    bool sawStandingBy = false;
  };

  // --- The world ---
  void Start();
  std::intptr_t PlayerWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  PlayerState Snapshot() const;
  std::vector<std::uintptr_t> ProcessPosted();
  void SetLength(std::int32_t n);
  void SetSupplier(bool present);
  std::string Status() { return plugin_.link().status.Text(); }
  const std::vector<std::string>& History() { return phone_.model().history(); }
  std::vector<std::string> CommandsSince(std::size_t mark);
  // An entry's title as the phone should show it, in a playlist of `length`
  // (the player's now by default).
  std::string Title(std::int64_t index, std::int32_t length = -1) const;
  bool Foreign(std::int64_t index, std::int32_t length = -1) const {
    return (length < 0 ? length_ : length) <= 2000 && index % 3 == 1;
  }
  // Whether entry `index`'s title holds `typed`, as a search sees both.
  bool Holds(std::int64_t index, const std::string& typed) const;
  // The first `most` entries from `from` on whose titles hold `typed`.
  std::vector<std::int64_t> Matches(const std::string& typed, std::int64_t from,
                                    std::size_t most) const;
  void ChooseCharset();

  // --- Randomness ---
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  std::int64_t Uniform(std::int64_t lo, std::int64_t hi) {
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng_);
  }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(Uniform(0, static_cast<std::int64_t>(items.size()) - 1))];
  }
  std::string RandomText(std::size_t maxLength, bool quotes);
  std::int32_t RandomPercent();

  // --- The user ---
  void Step();
  void UserAction();
  void Open(Expect& e);
  void ChooseValid(const phone::MenuScreen& page, Expect& e);
  // Entries that are not on the page: nothing is expected of them.
  void ChooseInvalid(const phone::MenuScreen& page);
  // The user types a search for "Find track".
  void AnswerFind(Expect& e);
  // A page of matches against the playlist: empty, or what is wrong.
  std::string CheckFound(const phone::MenuScreen& page) const;
  // Whether the plug-in counts a call going on: not known after a blink
  // whose +CLCC the phone refused while calls went on.
  std::optional<bool> PluginInCall();
  // The dialog on the screen is the key screen, in either command set.
  bool KeyScreenShown(const phone::Screen& screen) const;
  void Back(const phone::MenuScreen& page, Expect& e);
  void AnswerDialog(const phone::MenuScreen& page, const phone::Dialog& dialog, Expect& e);
  void AnswerLevel(const phone::MenuScreen& page, const phone::Dialog& dialog, Expect& e);
  void Dismiss();  // reject or abort
  // On the key screen: a key pressed, held or of no use, or the screen left.
  void PressKeys(Expect& e);
  // What the plug-in does to the volume and play state for a key.
  void KeyActs(const std::string& key, PlayerState& after);
  void Think();
  void PlayerChange();
  void ConfigNoChange();
  // A call begins, changes or ends; or the phone goes away during one.
  void CallStep();
  void CallBlink();
  void SetClccRefused(bool refused);
  // The tracker's rules: the first call of a run pauses a playing player; the
  // end of the last resumes a pause of Quillet's still in place.
  void CallsStart(PlayerState& player);
  void CallsEnd(PlayerState& player);
  // Where the tracker's view of the calls cannot be known: what it did to the
  // player between `before` and now must be allowed.
  void CheckCallInvariants(const PlayerState& before);
  // The user's own change leaves a pause of Quillet's to the rule.
  void WatchPause() {
    if (pausedAt_ && !(player_.state == 3 && player_.position == *pausedAt_))
      pauseUntouched_ = false;
  }
  void Observe(const Marks& marks, const Expect& e, bool predicted);
  // After a page or dialog: until the line has been quiet for a while and a
  // new object has replaced the one before it (its deletion waits for the
  // phone's answer to a long list).
  void Settle();
  // A page of the player's or the other plug-in's menus against what it was
  // made from: empty, or what is wrong.
  std::string CheckPage(const phone::MenuScreen& page) const;
  std::string CheckMainPage(const phone::MenuScreen& page) const;
  std::size_t SetUps();
  void ExpectPage(Expect& e, std::vector<std::string> titles);
  void ExpectDialog(Expect& e, DialogType type, const std::string& title);

  // --- Faults ---
  void StartFault();
  void EndFault();
  void PortChange(const std::string& name, bool restoreInDialog);
  void RestorePort();
  void Recover(const char* after);

  // --- Checks and reports ---
  void Check(bool ok, const std::string& what);
  void QuietChecks();
  void Note(const std::string& what);
  void Report(const char* verdict, double realSeconds);
  Marks Mark() { return {History().size(), player_.changes.size()}; }
  void Run(std::uint64_t ms) { Check(os_.RunFor(ms), "a thread hung"); }
  bool RunUntil(const std::function<bool()>& done, std::uint64_t ms) {
    return os_.RunUntil(done, ms);
  }

  Options options_;
  std::mt19937_64 rng_;
  fake::FakePlatform os_;
  // The player's window lives on a platform of its own; the host window of
  // the plug-in's platform passes every message on to it, as a subclass would.
  fake::FakePlatform playerSide_;
  testing::FakePlayer player_;
  testing::FakePortPhone phone_;
  Plugin plugin_;
  SampleMenus sample_;

  std::int32_t length_ = 10;
  bool supplierPresent_ = true;
  bool newer_ = false;
  // Find track: the text last searched, which the dialog offers again and
  // which titles the pages of its matches.
  std::string findText_;
  bool findTextKnown_ = true;
  std::map<std::string, int> searches_;
  std::size_t hostCallsSeen_ = 0;
  int fullscreens_ = 0;
  // What the player's main menu was last made from: the volume its item
  // holds (until a final answer changes it), the position and the length.
  bool refreshing_ = false;
  std::int32_t storedVolume_ = 0;
  std::int32_t refreshPosition_ = 0;
  std::int32_t refreshLength_ = 0;

  // The user's view: the phone's screen and the plug-in agree (no fault since
  // the last opening), the plug-in has a menu to act on, and the playlist on
  // the screen is the player's.
  bool inSync_ = false;
  // The key screen's mute, as the user saw it: on, and the volume before.
  bool keysMuted_ = false;
  std::int32_t volumeBeforeMute_ = 0;
  // ... and whether the plug-in's mute can be known: a key pressed while
  // nothing was predicted may or may not have reached it.
  bool muteKnown_ = true;
  // The key screen is up, its reports on.
  bool keyScreenUp_ = false;
  bool menuValid_ = false;
  bool pageStale_ = false;
  std::optional<Fault> fault_;
  std::size_t steadyHandles_ = 0;
  // The run's Charset ("" absent), the sets the phone offers, and the outcome.
  std::string charset_;
  std::vector<std::string> offered_;
  std::vector<std::string> foreignAnsi_;  // the titles in the player's ANSI code page
  Agreed agreed_ = Agreed::kNoCharset;
  // Calls: the entry Quillet paused at for the calls going on, whether the
  // model knows the tracker's view of the calls (not after a blink whose
  // +CLCC was refused while calls went on), and whether the pause has been
  // left alone since (then its resume is certain).
  std::optional<std::int32_t> pausedAt_;
  bool callsExact_ = true;
  bool pauseUntouched_ = true;
  bool clccRefused_ = false;
  std::map<std::string, int> calls_;
  std::map<std::string, int> tracker_;  // what the calls did to the player
  int keyScreensClosed_ = 0;            // ... and to the key screen
  int keysRefusedInCall_ = 0;           // the key screen's entry chosen during a call
  int dialogsRefused_ = 0;              // by a newer phone
  mutable int foreignTitlesShown_ = 0;  // counted as the pages are checked
  std::size_t maxHandles_ = 0;

  // Counts.
  std::uint64_t startMs_ = 0;
  int steps_ = 0;
  int checkedSteps_ = 0;
  std::map<std::string, int> actions_;
  std::map<std::string, int> playerChanges_;
  std::map<std::string, int> faults_;
  int junkLines_ = 0;
  int recoveries_ = 0;
  std::uint64_t maxReconnectMs_ = 0;
  std::uint64_t totalReconnectMs_ = 0;
  std::uint64_t maxAnswerMs_ = 0;
  std::size_t handlesAtStart_ = 0;
  std::size_t handlesAtEnd_ = 0;
  std::size_t handlesAfterQuit_ = 0;
  std::deque<std::string> recent_;
};

// --- The world ---

void Soak::Start() {
  os_.moduleFileName = "C:\\P\\gen_quillet.dll";
  os_.environment[kTraceEnvironmentVariable] = kTraceFile;
  os_.profiles[kIniPath]["Quillet"]["Port"] = "COM1";
  os_.profiles[kIniPath]["Quillet"]["RemoteKeys"] = "1";
  os_.profiles[kIniPath]["Quillet"]["PauseOnCall"] = "1";
  os_.profiles[kIniPath]["Quillet"]["FindTrack"] = "1";
  newer_ = Chance(0.5);
  phone_.model().SetNewer(newer_);
  ChooseCharset();
  os_.SetHostHandler([this](std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return PlayerWindow(msg, wParam, lParam);
  });
  player_.volume = 200;
  player_.position = 3;
  player_.state = 1;
  SetLength(10);
  SetSupplier(true);
  phone_.Now();
  phone_.model().SetDsr(true);

  PluginRecord* record = plugin_.HandOutRecord();
  Check(record != nullptr, "no plug-in record");
  record->hostWindow = reinterpret_cast<void*>(0x1234);
  record->moduleInstance = reinterpret_cast<void*>(0x400000);
  Check(plugin_.Init() == 0, "init failed");
  startMs_ = os_.VirtualMs();
  Check(RunUntil([&] { return Status() == kConnected; }, kReconnectBoundMs),
        "not connected at start: " + Status());
  Recover("start");
  steadyHandles_ = os_.OpenHandles().size();
  handlesAtStart_ = steadyHandles_;
}

std::intptr_t Soak::PlayerWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  const bool request = msg == host::kWmUser;
  if (request && lParam >= 0xC000 && lParam == player_.messages.loadMenu) {
    // As the sample plug-in does: every answer starts from the record's own
    // id, since the plug-in translates the items' ids by the difference.
    if (wParam == kSampleMainRequest) sample_.main.id = kSampleMainId;
    if (wParam == kSampleOptionsRequest) sample_.options.id = kSampleOptionsId;
  }
  // The key screen's transport keys send what the menus post; the fake
  // player acts on play and pause itself.
  if (msg == host::kWmCommand) {
    const std::int32_t n = length_;
    if (wParam == host::kCommandNext && n > 0) player_.position = (player_.position + 1) % n;
    if (wParam == host::kCommandPrevious && n > 0)
      player_.position = player_.position == 0 ? n - 1 : player_.position - 1;
    if (wParam == host::kCommandStop) player_.state = 0;
  }
  const std::intptr_t result = playerSide_.SendHostMessage(kNoHandle, msg, wParam, lParam);
  if (request && lParam == host::kVolume && wParam == host::kQueryVolume) {
    // Only the main menu asks for the volume: it is being made.
    refreshing_ = true;
    storedVolume_ = static_cast<std::int32_t>(result);
  } else if (request && refreshing_ && lParam == host::kPlaylistPosition) {
    refreshPosition_ = static_cast<std::int32_t>(result);
  } else if (request && refreshing_ && lParam == host::kPlaylistLength) {
    refreshLength_ = static_cast<std::int32_t>(result);
    refreshing_ = false;
  }
  return result;
}

PlayerState Soak::Snapshot() const {
  return {player_.volume, player_.position, player_.state, player_.video, length_};
}

// The player works through the commands posted to its window, as its message
// loop would.
std::vector<std::uintptr_t> Soak::ProcessPosted() {
  const std::vector<fake::HostCall> calls = os_.HostCalls();
  std::vector<std::uintptr_t> posted;
  for (; hostCallsSeen_ < calls.size(); ++hostCallsSeen_) {
    const fake::HostCall& call = calls[hostCallsSeen_];
    if (!call.posted || call.msg != host::kWmCommand) continue;
    posted.push_back(call.wParam);
    const std::int32_t n = length_;
    switch (call.wParam) {
      case host::kCommandPrevious:
        if (n > 0) player_.position = player_.position == 0 ? n - 1 : player_.position - 1;
        break;
      case host::kCommandNext:
        if (n > 0) player_.position = (player_.position + 1) % n;
        break;
      case host::kCommandPlay:
        if (n > 0) player_.state = 1;
        break;
      case host::kCommandPause:
        if (player_.state == 1) {
          player_.state = 3;
        } else if (player_.state == 3) {
          player_.state = 1;
        }
        break;
      case host::kCommandStop:
        player_.state = 0;
        break;
      case host::kCommandFullscreen:
        ++fullscreens_;
        break;
      default:
        break;
    }
  }
  return posted;
}

void Soak::SetLength(std::int32_t n) {
  // Long playlists are made as they are asked for.
  player_.unicodeTitles.clear();
  if (n > 2000) {
    player_.Generate(n);
  } else {
    // Every third entry has a title in another script: in UTF-16 as the
    // player has it, and in ANSI as its code page makes it.
    player_.Entries(n);
    for (std::int32_t i = 0; i < n; ++i) {
      std::string& ansi = player_.titles[static_cast<std::size_t>(i)];
      if (i % 3 != 1) {
        player_.unicodeTitles.push_back(Utf16(ansi));
        continue;
      }
      const std::size_t which = static_cast<std::size_t>(i / 3) % std::size(kForeignTitles);
      player_.unicodeTitles.push_back(Utf16(kForeignTitles[which].unicode));
      ansi = foreignAnsi_[which];
    }
  }
  length_ = n;
  if (player_.position >= n)
    player_.position = n > 0 ? static_cast<std::int32_t>(Uniform(0, n - 1)) : 0;
}

void Soak::SetSupplier(bool present) {
  supplierPresent_ = present;
  if (present) {
    player_.supplied[kSampleMainRequest] = &sample_.main;
    player_.supplied[kSampleOptionsRequest] = &sample_.options;
  } else {
    player_.supplied.clear();
  }
}

void Soak::ChooseCharset() {
  charset_ = Pick(std::vector<std::string>{"", "auto", "auto", "UTF-8", "8859-1"});
  const std::vector<std::vector<std::string>> offers = {
      {"GSM", "IRA", "8859-1", "UTF-8", "UCS2"}, {"GSM", "IRA", "8859-1"}, {"GSM", "UCS2"}, {}};
  offered_ = offers[static_cast<std::size_t>(Chance(0.6) ? 0 : Uniform(1, 3))];
  phone_.model().SetCharsets(offered_);
  for (const ForeignTitle& title : kForeignTitles)
    foreignAnsi_.push_back(os_.UnicodeToAnsi(Utf16(title.unicode)));
  if (!charset_.empty()) os_.profiles[kIniPath]["Quillet"]["Charset"] = charset_;
  auto offers8859 = std::find(offered_.begin(), offered_.end(), "8859-1") != offered_.end();
  auto offersUtf8 = std::find(offered_.begin(), offered_.end(), "UTF-8") != offered_.end();
  if (charset_.empty() && !newer_) {
    agreed_ = Agreed::kNoCharset;
  } else if (charset_.empty() || charset_ == "auto") {  // a newer phone: absent is auto
    agreed_ = offersUtf8 ? Agreed::kUtf8 : offers8859 ? Agreed::kLatin1 : Agreed::kAscii;
  } else if (charset_ == "UTF-8") {
    agreed_ = offersUtf8 ? Agreed::kUtf8 : Agreed::kAscii;
  } else {
    agreed_ = offers8859 ? Agreed::kLatin1 : Agreed::kAscii;
  }
}

std::string Soak::Title(std::int64_t index, std::int32_t length) const {
  if (!Foreign(index, length)) return "Track " + std::to_string(index + 1);
  const std::size_t which = static_cast<std::size_t>(index / 3) % std::size(kForeignTitles);
  if (agreed_ == Agreed::kNoCharset)  // the ANSI bytes, as they always went
    return Shows(foreignAnsi_[which], "");
  const ForeignTitle& title = kForeignTitles[which];
  return agreed_ == Agreed::kUtf8     ? title.unicode
         : agreed_ == Agreed::kLatin1 ? title.latin1
                                      : title.ascii;
}

bool Soak::Holds(std::int64_t index, const std::string& typed) const {
  std::string searched;
  if (Foreign(index)) {
    searched =
        kForeignTitles[static_cast<std::size_t>(index / 3) % std::size(kForeignTitles)].searched;
  } else {
    searched = "track " + std::to_string(index + 1);
  }
  std::string text = typed;
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return searched.find(text) != std::string::npos;
}

std::vector<std::int64_t> Soak::Matches(const std::string& typed, std::int64_t from,
                                        std::size_t most) const {
  std::vector<std::int64_t> found;
  for (std::int64_t i = from; i < length_ && found.size() < most; ++i)
    if (Holds(i, typed)) found.push_back(i);
  return found;
}

std::vector<std::string> Soak::CommandsSince(std::size_t mark) {
  const std::vector<std::string>& history = History();
  return std::vector<std::string>(history.begin() + static_cast<std::ptrdiff_t>(mark),
                                  history.end());
}

std::string Soak::RandomText(std::size_t maxLength, bool quotes) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz ABCXYZ0123456789.,;:!?-+=/()[]#'";
  std::string text(static_cast<std::size_t>(Uniform(0, static_cast<std::int64_t>(maxLength))), ' ');
  for (char& c : text) c = kChars[Uniform(0, sizeof kChars - 2)];
  if (quotes && !text.empty() && Chance(0.2))
    text[static_cast<std::size_t>(Uniform(0, static_cast<std::int64_t>(text.size()) - 1))] = '"';
  return text;
}

std::int32_t Soak::RandomPercent() {
  if (Chance(0.9)) return static_cast<std::int32_t>(Uniform(0, 100));
  return Pick(std::vector<std::int32_t>{-50, -1, 101, 150, 1000});
}

// --- The user ---

void Soak::Step() {
  ++steps_;
  if (fault_ && os_.VirtualMs() >= fault_->endsAt) {
    EndFault();
  } else if (!fault_ && phone_.model().screen().calls.empty() && Chance(0.06)) {
    // Faults of the link come between calls; the phone going away during
    // one is a call step of its own.
    StartFault();
  }
  if (Chance(0.07)) PlayerChange();
  if (!fault_ && inSync_ && Chance(0.01)) ConfigNoChange();
  WatchPause();
  // Calls come now and then and end within a few steps, leaving the faults
  // room between them; more often on the key screen, which a call closes.
  const bool calls = !phone_.model().screen().calls.empty();
  if (!fault_ && inSync_ && Chance(calls ? 0.3 : keyScreenUp_ ? 0.15 : 0.05)) {
    CallStep();
  } else {
    UserAction();
  }
  WatchPause();
  if (fault_ && fault_->kind == FaultKind::kDsrDrop && Status() == kStatusStandingBy)
    fault_->sawStandingBy = true;
  Think();
}

void Soak::UserAction() {
  // A copy: the monitor thread changes the screen while the clock runs.
  const phone::Screen screen = phone_.model().screen();
  const bool predicted = !fault_ && inSync_;
  const Marks marks = Mark();
  Expect e;
  e.player = Snapshot();
  // A dialog may stand alone: on a newer phone a notice that replaced a
  // dialog has no list beneath it.
  if (!screen.menu && !screen.dialog) {
    if (Chance(0.94)) {
      Open(e);
    } else {
      // A code from a phone with nothing on its screen: nothing to act on.
      const std::int32_t entry = static_cast<std::int32_t>(Uniform(1, 12));
      Note("stray choice " + std::to_string(entry));
      ++actions_["stray choice"];
      phone_.Now();
      phone_.model().ChooseEntry(entry);
    }
  } else if (screen.dialog) {
    if (Chance(0.05)) {
      Open(e);
    } else {
      AnswerDialog(screen.menu ? *screen.menu : phone::MenuScreen{}, *screen.dialog, e);
    }
  } else if (!menuValid_) {
    // What the plug-in dropped still shows: the user tries it, then opens.
    if (Chance(0.5)) {
      Open(e);
    } else {
      ChooseValid(*screen.menu, e);
    }
  } else {
    const double r = std::uniform_real_distribution<double>(0, 1)(rng_);
    if (r < 0.06) {
      Open(e);
    } else if (r < 0.14) {
      ChooseInvalid(*screen.menu);
    } else if (r < 0.24) {
      Back(*screen.menu, e);
    } else {
      ChooseValid(*screen.menu, e);
    }
  }
  Observe(marks, e, predicted);
}

void Soak::ExpectPage(Expect& e, std::vector<std::string> titles) {
  e.answer = Expect::Answer::kPage;
  e.titles = std::move(titles);
}

void Soak::ExpectDialog(Expect& e, DialogType type, const std::string& title) {
  e.answer = Expect::Answer::kDialog;
  e.dialogType = type;
  e.titles = {title};
}

void Soak::Open(Expect& e) {
  Note("open");
  ++actions_["open"];
  if (keyScreenUp_) e.also = {"AT+CMER=0,0,0,0,0"};
  keyScreenUp_ = false;
  ExpectPage(e, {supplierPresent_ ? "Sample menu" : "Winamp menu"});
  menuValid_ = true;
  pageStale_ = false;
  phone_.Now();
  phone_.model().OpenAccessoryMenu();
}

std::string Soak::CheckMainPage(const phone::MenuScreen& page) const {
  const std::int32_t p = refreshPosition_;
  const std::int32_t n = refreshLength_;
  const std::int32_t previous = p <= 0 ? n - 1 : p - 1;
  const std::int32_t next = p + 1 == n ? 0 : p + 1;
  const bool titles = n > 0 && p >= 0 && p < n;
  const std::vector<std::string> want = {
      titles ? "Prev: " + Title(previous, n) : "Previous",
      titles ? "Next: " + Title(next, n) : "Next",
      "Play",
      "Pause",
      "Stop",
      "Track info",
      "Go to track: " + std::to_string(p + 1),
      "Find track",
      "Playlist",
      "Volume: " + std::to_string(StepsOf(storedVolume_, 0, 255)),
      "Video window",
      "Remote keys"};
  std::vector<std::string> shown;
  for (const std::string& entry : page.entries) shown.push_back(Shows(entry, page.charset));
  if (shown != want) return "the main menu shows " + Join(shown) + ", the player " + Join(want);
  if (titles) foreignTitlesShown_ += Foreign(previous, n) + Foreign(next, n);
  return "";
}

std::string Soak::CheckFound(const phone::MenuScreen& page) const {
  // A page the playlist changed under goes on as the plug-in sees fit.
  if (pageStale_) return "";
  bool previous = false;
  bool further = false;
  std::vector<std::int64_t> shown;
  for (std::size_t i = 0; i < page.entries.size(); ++i) {
    const std::string& label = page.entries[i];
    const bool last = i + 1 == page.entries.size();
    if (label == "<<" && i == 0) {
      previous = true;
      continue;
    }
    if ((label == ">>" || label == "More...") && last) {
      further = true;
      continue;
    }
    const std::int64_t entry = EntryNumber(label);
    const std::string read = Shows(label, page.charset);
    if (entry <= 0 || read != std::to_string(entry) + ". " + Title(entry - 1))
      return "a match reads \"" + read + "\"";
    if (!Holds(entry - 1, findText_))
      return "\"" + read + "\" is no match for \"" + findText_ + "\"";
    shown.push_back(entry - 1);
  }
  if (shown.empty()) return "a page of matches shows none: " + Join(page.entries);
  // In playlist order, none left out: from the first entry on the first
  // page, from the first shown on a later one.
  const std::vector<std::int64_t> want =
      Matches(findText_, previous ? shown.front() : 0, shown.size() + 1);
  if (want.size() < shown.size() || !std::equal(shown.begin(), shown.end(), want.begin()))
    return "the matches for \"" + findText_ + "\" shown are " + Join(page.entries);
  if (want.size() > shown.size() && !further)
    return "more titles hold \"" + findText_ + "\" and the page has no \">>\"";
  foreignTitlesShown_ += static_cast<int>(
      std::count_if(shown.begin(), shown.end(), [&](std::int64_t i) { return Foreign(i); }));
  return "";
}

std::string Soak::CheckPage(const phone::MenuScreen& page) const {
  if (page.title == "Winamp menu") return CheckMainPage(page);
  if (!findText_.empty() && page.title == findText_) return CheckFound(page);
  if (page.title == "Playlist") {
    // A page the playlist changed under goes on as the plug-in sees fit.
    if (pageStale_) return "";
    for (const std::string& label : page.entries) {
      const std::int64_t entry = EntryNumber(label);
      if (entry <= 0) continue;
      const std::string shown = Shows(label, page.charset);
      const std::string want = std::to_string(entry) + ". " + Title(entry - 1);
      if (shown != want) return "a playlist entry reads \"" + shown + "\", not \"" + want + "\"";
      foreignTitlesShown_ += Foreign(entry - 1);
    }
    return "";
  }
  std::vector<std::string> want;
  if (page.title == "Sample menu") {
    const MenuItem* items = sample_.mainItems;
    const char* colours[] = {"Red", "Green", "Blue"};
    want = {"Player menu",
            "Options",
            "Play",
            "Brightness: " + std::to_string(StepsOf(items[3].value, 0, 10)),
            std::string("Colour: ") + colours[std::clamp(items[4].value, 0, 2)],
            std::string("Shuffle: ") + (items[5].value ? "On" : "Off"),
            "Count: " + std::to_string(items[6].value),
            "Name: " + std::string(sample_.name)};
  } else if (page.title == "Sample options") {
    want = {"Fullscreen",
            "Volume: " + std::to_string(StepsOf(sample_.optionItems[1].value, 0, 255)), "Missing"};
  } else {
    return "";
  }
  if (page.entries != want)
    return "\"" + page.title + "\" shows " + Join(page.entries) + ", not " + Join(want);
  return "";
}

std::size_t Soak::SetUps() {
  const std::string& trace = os_.files[kTraceFile];
  std::size_t n = 0;
  for (std::size_t at = 0; (at = trace.find("OnInit", at)) != std::string::npos; ++at) ++n;
  return n;
}

void Soak::ChooseValid(const phone::MenuScreen& page, Expect& e) {
  const std::int32_t count = static_cast<std::int32_t>(page.entries.size());
  if (count == 0) return Open(e);
  const std::int32_t k = static_cast<std::int32_t>(Uniform(1, count));
  const std::string label = page.entries[static_cast<std::size_t>(k - 1)];
  const std::string& title = page.title;
  Note("choose " + std::to_string(k) + " \"" + label + "\" on \"" + title + "\"");
  ++actions_["choose"];
  phone_.Now();
  phone_.model().ChooseEntry(k);
  if (!menuValid_) return;  // the plug-in has no menu to act on: nothing happens

  const std::int32_t n = length_;
  PlayerState& after = e.player;
  auto posted = [&](std::uintptr_t command) { e.posted = {command}; };
  if (label == "<<" || label == ">>" || label == "More...") {
    ExpectPage(e, {title});
    if (pageStale_) {
      e.answer = Expect::Answer::kPageOrDialog;
      e.titles.clear();
    }
    return;
  }
  if (title == "Winamp menu") {
    if (StartsWith(label, "Prev")) {
      posted(host::kCommandPrevious);
      if (n > 0) after.position = after.position == 0 ? n - 1 : after.position - 1;
      ExpectPage(e, {title});
    } else if (StartsWith(label, "Next")) {
      posted(host::kCommandNext);
      if (n > 0) after.position = (after.position + 1) % n;
      ExpectPage(e, {title});
    } else if (label == "Play") {
      posted(host::kCommandPlay);
      if (n > 0) after.state = 1;
      ExpectPage(e, {title});
    } else if (label == "Pause") {
      posted(host::kCommandPause);
      if (after.state == 1) {
        after.state = 3;
      } else if (after.state == 3) {
        after.state = 1;
      }
      ExpectPage(e, {title});
    } else if (label == "Stop") {
      posted(host::kCommandStop);
      after.state = 0;
      ExpectPage(e, {title});
    } else if (label == "Track info") {
      ExpectDialog(e, DialogType::Notice, "Now playing");
      const std::string text =
          StatePrefix(after.state) +
          (after.position >= 0 && after.position < n ? Title(after.position) : std::string());
      e.screen = [text](const phone::Screen& s) -> std::string {
        const std::string shown = Shows(s.dialog->text, s.dialog->charset);
        return shown == text ? "" : "now playing says \"" + shown + "\", not \"" + text + "\"";
      };
    } else if (StartsWith(label, "Go to track")) {
      ExpectDialog(e, DialogType::Number, "Go to track");
      // The newer set's number field has no bounds.
      e.screen = [this](const phone::Screen& s) -> std::string {
        const phone::Dialog& d = *s.dialog;
        if (d.prompt != "Track number" || d.value != refreshPosition_ + 1 ||
            (!newer_ && (d.minimum != 1 || d.maximum != refreshLength_)))
          return "go to track asks " + std::to_string(d.value) + " in " +
                 std::to_string(d.minimum) + ".." + std::to_string(d.maximum);
        return "";
      };
    } else if (label == "Playlist") {
      if (n > 0) {
        ExpectPage(e, {"Playlist"});
      } else {
        ExpectDialog(e, DialogType::Notice, "Playlist");
      }
      pageStale_ = false;
    } else if (StartsWith(label, "Volume")) {
      ExpectDialog(e, DialogType::Level, "Volume");
      const std::int32_t steps = StepsOf(storedVolume_, 0, 255);
      e.screen = [steps](const phone::Screen& s) -> std::string {
        return s.dialog->steps == 10 && s.dialog->value == steps
                   ? ""
                   : "the volume dialog's value is off";
      };
    } else if (label == "Find track") {
      ExpectDialog(e, DialogType::Text, "Find track");
      const std::string last = findText_;
      const bool known = findTextKnown_;
      const bool older = !newer_;
      e.screen = [last, known, older](const phone::Screen& s) -> std::string {
        const phone::Dialog& d = *s.dialog;
        return d.prompt == "Title contains" && (!known || d.text == last) &&
                       (!older || d.maxLength == 30)
                   ? ""
                   : "find track offers \"" + d.text + "\", not \"" + last + "\"";
      };
    } else if (label == "Remote keys") {
      const std::optional<bool> inCall = PluginInCall();
      e.answer = Expect::Answer::kDialog;
      e.titles = {"Remote keys"};
      e.dialogType = newer_ ? DialogType::Notice : DialogType::Hold;
      if (!inCall) {
        e.keyScreenOrNotice = true;
      } else if (*inCall) {
        // Keys typed in a call must not reach the player: a notice instead.
        ++keysRefusedInCall_;
        e.dialogType = DialogType::Notice;
        e.screen = [](const phone::Screen& s) -> std::string {
          return s.dialog->text == "Not during a call." ? ""
                                                        : "the key screen came up during a call";
        };
      } else {
        e.also = {"AT+CMER=3,2,0,0,0"};
        keyScreenUp_ = true;
      }
    } else if (label == "Video window") {
      ExpectPage(e, {"Video options"});
      const std::string shown = after.video ? "Shown: On" : "Shown: Off";
      e.screen = [shown](const phone::Screen& s) -> std::string {
        const std::vector<std::string> want = {shown, "Fullscreen"};
        return s.menu->entries == want ? "" : "video options show " + Join(s.menu->entries);
      };
    } else {
      e.answer = Expect::Answer::kPageOrDialog;
    }
  } else if (title == "Video options") {
    if (StartsWith(label, "Shown")) {
      ExpectDialog(e, DialogType::OnOff, "Shown");
      const std::int32_t value = label == "Shown: On" ? 1 : 0;
      e.screen = [value](const phone::Screen& s) -> std::string {
        return s.dialog->value == value ? "" : "the switch does not show the item's value";
      };
    } else {
      posted(host::kCommandFullscreen);
      ExpectPage(e, {title});
    }
  } else if (title == "Playlist") {
    ExpectPage(e, {"Playlist"});
    const std::int64_t entry = EntryNumber(label);
    if (pageStale_) {
      // The playlist changed under the page: the plug-in finds its way, but
      // what the entry now means is its own affair.
      e.answer = Expect::Answer::kPageOrDialog;
      e.titles.clear();
      e.playerKnown = false;
    } else if (entry > 0 && !fault_ && inSync_) {
      const std::string shown = Shows(label, page.charset);
      const std::string want = std::to_string(entry) + ". " + Title(entry - 1);
      Check(shown == want, "a playlist entry reads \"" + shown + "\", not \"" + want + "\"");
      after.position = static_cast<std::int32_t>(entry - 1);
      if (after.state != 0 && n > 0) after.state = 1;
    }
  } else if (title == "Sample menu") {
    if (label == "Player menu") {
      ExpectPage(e, {"Winamp menu"});
    } else if (label == "Options") {
      if (supplierPresent_) {
        ExpectPage(e, {"Sample options"});
      } else {
        ExpectDialog(e, DialogType::Notice, "Missing menu");
        menuValid_ = false;
      }
    } else if (label == "Play") {
      posted(host::kCommandPlay);
      if (n > 0) after.state = 1;
      ExpectPage(e, {title});
    } else if (StartsWith(label, "Brightness")) {
      ExpectDialog(e, DialogType::Level, "Brightness");
    } else if (StartsWith(label, "Colour")) {
      ExpectDialog(e, DialogType::List, "Colour");
      e.screen = [](const phone::Screen& s) -> std::string {
        const std::vector<std::string> want = {"Red", "Green", "Blue"};
        return s.dialog->labels == want && s.dialog->count == 3 ? "" : "the colour list is off";
      };
    } else if (StartsWith(label, "Shuffle")) {
      ExpectDialog(e, DialogType::OnOff, "Shuffle");
    } else if (newer_ && StartsWith(label, "Count") &&
               std::to_string(sample_.mainItems[6].value).size() > 9) {
      // A newer phone takes at most nine characters in a number field: it
      // refuses the dialog, and the page stays with its entries.
      ExpectPage(e, {title});
      e.refusedDialog = true;
      ++dialogsRefused_;
    } else if (StartsWith(label, "Count")) {
      ExpectDialog(e, DialogType::Number, "Count");
      e.screen = [this](const phone::Screen& s) -> std::string {
        const phone::Dialog& d = *s.dialog;
        return d.prompt == "How many" && (newer_ || (d.minimum == 1 && d.maximum == 99))
                   ? ""
                   : "the count dialog is off";
      };
    } else if (StartsWith(label, "Name")) {
      ExpectDialog(e, DialogType::Text, "Name");
      const std::string text = sample_.name;
      e.screen = [this, text](const phone::Screen& s) -> std::string {
        const phone::Dialog& d = *s.dialog;
        return d.prompt == "Your name" && (newer_ || d.maxLength == kNameCapacity) && d.text == text
                   ? ""
                   : "the name dialog shows \"" + d.text + "\", not \"" + text + "\"";
      };
    } else {
      e.answer = Expect::Answer::kPageOrDialog;
    }
  } else if (!findText_.empty() && title == findText_) {
    // A match plays, and the page stays.
    const std::int64_t entry = EntryNumber(label);
    ExpectPage(e, {title});
    if (pageStale_) {
      e.answer = Expect::Answer::kPageOrDialog;
      e.titles.clear();
      e.playerKnown = false;
    } else if (entry > 0) {
      ++searches_["match played"];
      after.position = static_cast<std::int32_t>(entry - 1);
      after.state = 1;
    }
  } else if (title == "Sample options") {
    if (label == "Fullscreen") {
      posted(host::kCommandFullscreen);
      ExpectPage(e, {title});
    } else if (StartsWith(label, "Volume")) {
      ExpectDialog(e, DialogType::Level, "Volume");
    } else if (label == "Missing") {
      ExpectDialog(e, DialogType::Notice, "Missing menu");
      e.screen = [](const phone::Screen& s) -> std::string {
        return s.dialog->text == "This menu is not available." ? ""
                                                               : "the missing menu's notice is off";
      };
      menuValid_ = false;
    } else {
      e.answer = Expect::Answer::kPageOrDialog;
    }
  } else {
    e.answer = Expect::Answer::kPageOrDialog;
  }
}

void Soak::ChooseInvalid(const phone::MenuScreen& page) {
  const std::int32_t count = static_cast<std::int32_t>(page.entries.size());
  const std::int32_t k = Pick(
      std::vector<std::int32_t>{count + 1, count + 2, count + 7, -1, -12, INT32_MAX, INT32_MIN});
  Note("choose missing entry " + std::to_string(k) + " on \"" + page.title + "\"");
  ++actions_["choose missing"];
  phone_.Now();
  phone_.model().ChooseEntry(k);
}

void Soak::Back(const phone::MenuScreen& page, Expect& e) {
  Note("back from \"" + page.title + "\"");
  ++actions_["back"];
  phone_.Now();
  phone_.model().ChooseEntry(0);
  if (!menuValid_) return;
  // The newer set draws every list alike; the older marks the top ones.
  if (!newer_ && !pageStale_)
    Check((page.navigation != '2') == TopLevel(page.title),
          "\"" + page.title + "\" has navigation " + page.navigation);
  if (newer_ ? TopLevel(page.title) : page.navigation != '2') {
    menuValid_ = false;  // left the menu: the plug-in holds none
    e.leaves = true;
    return;
  }
  if (page.title == "Video options") {
    ExpectPage(e, {"Winamp menu"});
  } else if (page.title == "Sample options") {
    ExpectPage(e, {supplierPresent_ ? "Sample menu" : "Winamp menu"});
  } else if (!findText_.empty() && page.title == findText_) {
    ExpectPage(e, {"Winamp menu"});
  } else if (page.title == "Playlist" && !pageStale_) {
    // Only the pages below the top one have "<<<" and ">>>": back from one
    // goes up a level, from the top one to the player's menu.
    const bool below = std::count(page.entries.begin(), page.entries.end(), "<<<") +
                           std::count(page.entries.begin(), page.entries.end(), ">>>") >
                       0;
    ExpectPage(e, {below ? "Playlist" : "Winamp menu"});
  } else {
    e.answer = Expect::Answer::kPageOrDialog;
  }
}

void Soak::Dismiss() {
  if (Chance(0.5)) {
    Note("reject");
    ++actions_["reject"];
    phone_.Now();
    phone_.model().RejectDialog();
  } else {
    Note("abort");
    ++actions_["abort"];
    phone_.Now();
    phone_.model().AbortDialog();
  }
}

void Soak::KeyActs(const std::string& key, PlayerState& after) {
  const std::int32_t n = length_;
  // The keys take a volume outside the player's range (a level answered
  // above 100 %) as the nearest end of it.
  const std::int32_t volume = std::clamp(after.volume, 0, 255);
  auto step = [&](int by) {
    const std::int32_t to =
        std::clamp(StepsOf(std::clamp(after.volume, 0, 255), 0, 255) + by, 0, 10);
    after.volume = FromPercentOf(to * 10, 0, 255);
    keysMuted_ = false;
    muteKnown_ = true;
  };
  if (key == "u" || key == "U" || key == "^") {
    step(1);
  } else if (key == "d" || key == "D" || key == "v" || key == "V") {
    step(-1);
  } else if (key == "7") {
    if (keysMuted_ && after.volume == 0) {
      after.volume = volumeBeforeMute_;
      keysMuted_ = false;
    } else {
      volumeBeforeMute_ = volume;
      after.volume = 0;
      keysMuted_ = true;
    }
  } else if (key == "2" || key == ":J") {
    if (after.state == 1) {
      after.state = 3;
    } else if (after.state == 3) {
      after.state = 1;
    } else if (n > 0) {
      after.state = 1;
    }
  } else if (key == ">" || key == "6") {
    if (n > 0) after.position = (after.position + 1) % n;
  } else if (key == "<" || key == "4") {
    if (n > 0) after.position = after.position == 0 ? n - 1 : after.position - 1;
  } else if (key == "5") {
    after.state = 0;
  }
}

void Soak::PressKeys(Expect& e) {
  const double r = std::uniform_real_distribution<double>(0, 1)(rng_);
  if (r < 0.2) {
    Dismiss();
    e.also = {"AT+CMER=0,0,0,0,0"};
    ExpectPage(e, {"Winamp menu"});
    keyScreenUp_ = false;
    return;
  }
  const bool predicted = !fault_ && inSync_;
  std::string key =
      Pick(std::vector<std::string>{"u", "U", "^", "d", "D", "v", "V", "7", "2", ":J", ">",
                                    "6", "<", "4", "5", "1", "3", "e", "#", "]", "*"});
  if (!predicted) muteKnown_ = false;
  // A mute that may find the plug-in either way waits for a volume step.
  if (key == "7" && !muteKnown_) key = "5";
  const bool repeats = key == "u" || key == "U" || key == "^" || key == "d" || key == "D" ||
                       key == "v" || key == "V" || key == "1" || key == "3";
  // Holds well clear of the repeats at 500, 750, 1000 ... ms: 0, 1, 2 or 4.
  const std::uint32_t holdMs = r < 0.6 ? 0 : Pick(std::vector<std::uint32_t>{120, 620, 880, 1380});
  const int acts = 1 + (!repeats || holdMs < 500 ? 0 : 1 + static_cast<int>((holdMs - 500) / 250));
  Note("key " + key + (holdMs ? " held " + std::to_string(holdMs) + " ms" : ""));
  ++actions_[holdMs ? "key held" : "key"];
  phone_.Now();
  const std::string error = phone_.model().PressKey(key, holdMs);
  // During a fault the key screen may be up before its reports are on.
  if (!error.empty() && !predicted) return;
  Check(error.empty(), "the phone would not press " + key + ": " + error);
  for (int i = 0; i < acts; ++i) KeyActs(key, e.player);
}

void Soak::AnswerDialog(const phone::MenuScreen& page, const phone::Dialog& dialog, Expect& e) {
  const std::string& under = page.title;
  const bool answering = menuValid_;
  const bool dismiss = Chance(0.12);
  auto same = [&] {
    if (answering) ExpectPage(e, {under});
  };
  if (keyScreenUp_ && KeyScreenShown(phone_.model().screen())) return PressKeys(e);
  switch (dialog.type) {
    case DialogType::Hold:
      Dismiss();
      if (answering) ExpectPage(e, {"Winamp menu"});
      return;
    case DialogType::Notice:
      Dismiss();
      if (answering && dialog.title != "Missing menu") ExpectPage(e, {"Winamp menu"});
      if (answering && dialog.title == "Missing menu") menuValid_ = false;
      return;
    case DialogType::Level:
      AnswerLevel(page, dialog, e);
      return;
    case DialogType::List: {
      if (dismiss) {
        Dismiss();
        same();
        return;
      }
      const std::int32_t n = Chance(0.8) ? static_cast<std::int32_t>(Uniform(1, 3))
                                         : Pick(std::vector<std::int32_t>{0, 4, -1, 100});
      Note("list " + std::to_string(n));
      ++actions_["list"];
      phone_.Now();
      phone_.model().AnswerList(n);
      same();
      if (answering) e.changes = {{kColourId, n - 1}};
      return;
    }
    case DialogType::OnOff: {
      if (dismiss) {
        Dismiss();
        same();
        return;
      }
      const bool on = Chance(0.5);
      Note(std::string("switch ") + (on ? "on" : "off"));
      ++actions_["switch"];
      phone_.Now();
      phone_.model().AnswerOnOff(on);
      same();
      if (!answering) return;
      if (dialog.title == "Shown") {
        e.player.video = on;
      } else if (dialog.title == "Shuffle") {
        e.changes = {{kShuffleId, on ? 1 : 0}};
      }
      return;
    }
    case DialogType::Number: {
      if (dismiss) {
        Dismiss();
        same();
        return;
      }
      const std::int32_t n = length_;
      std::int32_t x = 0;
      if (dialog.title == "Go to track" && n > 0 && Chance(0.75)) {
        x = static_cast<std::int32_t>(Uniform(1, n));
      } else if (dialog.title == "Count" && Chance(0.75)) {
        x = static_cast<std::int32_t>(Uniform(1, 99));
      } else {
        x = Pick(std::vector<std::int32_t>{0, -3, n + 1, n + 100, 100, INT32_MAX, INT32_MIN});
      }
      Note("number " + std::to_string(x));
      ++actions_["number"];
      phone_.Now();
      phone_.model().AnswerNumber(x);
      same();
      if (!answering) return;
      if (dialog.title == "Go to track") {
        // The player takes only a position inside its playlist; a playing
        // player is told to play from there.
        if (x >= 1 && x <= n) e.player.position = x - 1;
        if (e.player.state != 0 && n > 0) e.player.state = 1;
      } else if (dialog.title == "Count") {
        e.changes = {{kCountId, x}};
      }
      return;
    }
    case DialogType::Text: {
      if (dismiss) {
        Dismiss();
        same();
        return;
      }
      if (dialog.title == "Find track" && under == "Winamp menu") return AnswerFind(e);
      // How a newer phone would carry a quote in its answer is not known.
      const std::string text = RandomText(30, !newer_);
      Note("text \"" + text + "\"");
      ++actions_["text"];
      phone_.Now();
      phone_.model().AnswerText(text);
      same();
      if (!answering) return;
      e.changes = {{kNameId, 0}};
      e.lastValueAny = true;
      // Kept up to a quote (which the code cannot carry), within the buffer.
      std::string kept = text.substr(0, text.find('"'));
      kept = kept.substr(0, kNameCapacity);
      e.screen = [this, kept](const phone::Screen&) -> std::string {
        return std::string(sample_.name) == kept
                   ? ""
                   : "the name buffer holds \"" + std::string(sample_.name) + "\", not \"" + kept +
                         "\"";
      };
      return;
    }
  }
}

void Soak::AnswerFind(Expect& e) {
  // The longest playlists are searched only for what is found early in them.
  std::vector<std::string> fit;
  for (const Search& search : kSearches)
    if (length_ <= 2000 || search.early) fit.push_back(search.typed);
  const std::string typed = Pick(fit);
  Note("find \"" + typed + "\"");
  ++actions_["find"];
  phone_.Now();
  phone_.model().AnswerText(typed);
  // During a fault the text may or may not reach the plug-in.
  const bool reaches = !fault_ && inSync_;
  if (!reaches && !typed.empty()) findTextKnown_ = false;
  if (!menuValid_) return;
  if (typed.empty()) {
    ++searches_["empty, main menu again"];
    ExpectPage(e, {"Winamp menu"});
    return;
  }
  findText_ = typed;
  findTextKnown_ = reaches;
  pageStale_ = false;
  if (!Matches(typed, 0, 1).empty()) {
    ++searches_["found"];
    ExpectPage(e, {typed});
    return;
  }
  ++searches_["nothing found"];
  ExpectDialog(e, DialogType::Notice, "Find track");
  const std::string text = "No title contains " + typed + ".";
  e.screen = [text](const phone::Screen& s) -> std::string {
    return s.dialog->text == text ? "" : "no match says \"" + s.dialog->text + "\"";
  };
}

void Soak::AnswerLevel(const phone::MenuScreen& page, const phone::Dialog& dialog, Expect& e) {
  const std::string& under = page.title;
  const bool answering = menuValid_;
  // Which value the dialog sets: the player's volume (from its own menu or
  // the other plug-in's), or the other plug-in's brightness.
  enum class Target {
    kMainVolume,
    kOptionsVolume,
    kBrightness,
    kUnknown
  } target = Target::kUnknown;
  if (under == "Winamp menu" && dialog.title == "Volume") target = Target::kMainVolume;
  if (under == "Sample options" && dialog.title == "Volume") target = Target::kOptionsVolume;
  if (under == "Sample menu" && dialog.title == "Brightness") target = Target::kBrightness;
  const std::int32_t maximum = target == Target::kBrightness ? 10 : 255;
  auto apply = [&](std::int32_t value) {
    if (target == Target::kBrightness) {
      e.changes.push_back({kBrightnessId, value});
    } else if (target != Target::kUnknown) {
      e.player.volume = value;
    }
  };
  const double r = std::uniform_real_distribution<double>(0, 1)(rng_);
  if (r < 0.4) {
    const std::int32_t percent = RandomPercent();
    Note("interim " + std::to_string(percent));
    ++actions_["interim"];
    phone_.Now();
    phone_.model().AnswerInterimLevel(percent);
    // A newer phone tells only where the level is left.
    if (answering && !newer_) apply(FromPercentOf(percent, 0, maximum));
  } else if (r < 0.85) {
    const std::int32_t percent = RandomPercent();
    Note("level " + std::to_string(percent));
    ++actions_["level"];
    phone_.Now();
    phone_.model().AnswerLevel(percent);
    if (!answering) return;
    ExpectPage(e, {under});
    // A newer phone answers with the step its slider shows.
    const std::int32_t steps = dialog.steps;
    const std::int32_t reached =
        !newer_ || steps <= 0
            ? percent
            : static_cast<std::int32_t>(std::int64_t{(percent * steps + 50) / 100} * 100 / steps);
    const std::int32_t value = FromPercentOf(reached, 0, maximum);
    apply(value);
    if (target == Target::kMainVolume) storedVolume_ = value;  // the item keeps a final answer
  } else {
    // Dismissed: the value goes back to what the item holds.
    Dismiss();
    if (!answering) return;
    ExpectPage(e, {under});
    if (target == Target::kMainVolume) apply(storedVolume_);
    if (target == Target::kOptionsVolume) apply(sample_.optionsVolume().value);
    if (target == Target::kBrightness) apply(sample_.brightness().value);
  }
  if (target == Target::kUnknown) e.playerKnown = false;
}

void Soak::Think() {
  const double r = std::uniform_real_distribution<double>(0, 1)(rng_);
  const std::uint64_t ms = static_cast<std::uint64_t>(r < 0.75   ? Uniform(50, 1500)
                                                      : r < 0.95 ? Uniform(1500, 10000)
                                                                 : Uniform(10000, 60000));
  const std::size_t mark = History().size();
  Run(ms);
  const std::vector<std::uintptr_t> posted = ProcessPosted();
  if (!fault_ && inSync_) {
    Check(History().size() == mark,
          "the plug-in sent \"" + (History().size() > mark ? History()[mark] : std::string()) +
              "\" while the user did nothing");
    Check(posted.empty(), "a command was posted while the user did nothing");
  }
}

void Soak::PlayerChange() {
  const phone::Screen screen = phone_.model().screen();
  switch (Uniform(0, 5)) {
    case 0:
      player_.volume = static_cast<std::int32_t>(Uniform(0, 255));
      ++playerChanges_["volume"];
      Note("player volume " + std::to_string(player_.volume));
      break;
    case 1:
      if (length_ > 0) player_.position = static_cast<std::int32_t>(Uniform(0, length_ - 1));
      ++playerChanges_["position"];
      Note("player position " + std::to_string(player_.position));
      break;
    case 2:
      player_.state = Pick(std::vector<std::int32_t>{0, 1, 3});
      ++playerChanges_["state"];
      Note("player state " + std::to_string(player_.state));
      break;
    case 3: {
      SetLength(Pick(
          std::vector<std::int32_t>{0, 1, 2, 3, 9, 10, 11, 57, 100, 101, 1234, 99999, 1000000}));
      ++playerChanges_["length"];
      Note("player length " + std::to_string(length_));
      // A playlist page (or its empty notice) on the screen no longer tells
      // what its entries mean.
      if (screen.menu && (screen.menu->title == "Playlist" ||
                          (!findText_.empty() && screen.menu->title == findText_)))
        pageStale_ = true;
      if (screen.dialog && screen.dialog->title == "Playlist") pageStale_ = true;
      break;
    }
    case 4:
      player_.video = !player_.video;
      ++playerChanges_["video"];
      Note(std::string("player video ") + (player_.video ? "on" : "off"));
      break;
    default:
      SetSupplier(!supplierPresent_);
      ++playerChanges_["other plug-in"];
      Note(supplierPresent_ ? "other plug-in supplies menus" : "other plug-in stops supplying");
      break;
  }
}

// The dialog opened and closed with the port it already has: nothing moves.
void Soak::ConfigNoChange() {
  Note("config: COM1 again");
  ++actions_["config, same port"];
  const std::size_t mark = History().size();
  const std::size_t setUps = SetUps();
  os_.dialogScript = [&](DialogProcedure& dialog, Handle h) {
    os_.dialog.texts[kPortComboId] = "COM1";
    dialog.OnCommand(h, Chance(0.5) ? kApplyButtonId : kOkButtonId);
    if (!os_.dialog.ended) {
      Run(Uniform(0, 3000));
      dialog.OnCommand(h, Chance(0.5) ? kOkButtonId : kCancelButtonId);
    }
  };
  plugin_.Config();
  os_.dialogScript = nullptr;
  Check(os_.dialog.ended, "the dialog did not end");
  Run(kSilenceMs);
  Check(SetUps() == setUps, "the same port again set the link up again");
  Check(History().size() == mark, "the same port again sent the phone something");
  Check(Status() == kConnected, "the same port again changed the status to " + Status());
  Check(plugin_.PortName() == "COM1", "the port is now " + plugin_.PortName());
}

void Soak::Settle() {
  std::size_t seen = History().size();
  std::uint64_t quietSince = os_.VirtualMs();
  RunUntil(
      [&] {
        // Quiet from the last command and the phone's last answer to one.
        if (History().size() != seen || phone_.device().pendingBytes() != 0) {
          seen = History().size();
          quietSince = os_.VirtualMs();
        }
        return os_.VirtualMs() - quietSince >= kSettleMs && phone_.model().objects().size() <= 1;
      },
      kAnswerBoundMs);
}

void Soak::Observe(const Marks& marks, const Expect& e, bool predicted) {
  if (!predicted) {
    // A fault is on, or the screen has not been brought back in line yet:
    // whatever happens, the user goes on.
    Run(Uniform(0, 2000));
    ProcessPosted();
    return;
  }
  if (e.answer == Expect::Answer::kNothing) {
    Run(kSilenceMs);
    const std::vector<std::string> sent = WithoutUpkeep(CommandsSince(marks.history));
    Check(sent.empty(), "expected nothing, the plug-in sent \"" +
                            (sent.empty() ? std::string() : sent[0]) + "\"");
    if (e.leaves && newer_)
      Check(phone_.model().objects().empty(), "the menu was left, the phone keeps " +
                                                  std::to_string(phone_.model().objects().size()) +
                                                  " objects of ours");
  } else {
    const bool answered = RunUntil(
        [&] {
          for (std::size_t i = marks.history; i < History().size(); ++i)
            if (Draws(History()[i])) return true;
          return false;
        },
        kAnswerBoundMs);
    Check(answered, "no page or dialog within " + std::to_string(kAnswerBoundMs) + " ms");
    Settle();
    std::vector<std::string> sent = CommandsSince(marks.history);
    std::vector<std::string> others;
    std::string command;
    for (const std::string& c : sent) {
      if (Upkeep(c)) continue;
      if (command.empty() && Draws(c)) {
        command = c;
      } else {
        others.push_back(c.substr(2));
      }
    }
    const phone::Screen& screen = phone_.model().screen();
    std::vector<std::string> expectedAlso = e.also;
    if (e.keyScreenOrNotice && KeyScreenShown(screen)) {
      expectedAlso = {"AT+CMER=3,2,0,0,0"};
      keyScreenUp_ = true;
    }
    std::vector<std::string> also;
    for (const std::string& c : expectedAlso) also.push_back(c.substr(2));
    Check(!command.empty() && others == also,
          "expected one page or dialog and " + Join(also) + ", the plug-in sent " + Join(sent));
    const bool page = screen.menu && !screen.dialog;
    std::string title;
    if (e.answer == Expect::Answer::kPage || (e.answer == Expect::Answer::kPageOrDialog && page)) {
      Check(page && (e.refusedDialog || StartsWith(command, newer_ ? "AT*SELIST=" : "AT*EASM=")),
            "expected a page, got \"" + command + "\"");
      title = screen.menu->title;
      const std::string wrong = CheckPage(*screen.menu);
      Check(wrong.empty(), wrong);
    } else {
      Check(screen.dialog && (newer_ || StartsWith(command, "AT*EAID=")),
            "expected a dialog, got \"" + command + "\"");
      if (e.answer == Expect::Answer::kDialog && !e.keyScreenOrNotice)
        Check(screen.dialog->type == e.dialogType,
              "the dialog is of another type: \"" + command + "\"");
      title = screen.dialog->title;
    }
    if (!e.titles.empty())
      Check(std::find(e.titles.begin(), e.titles.end(), title) != e.titles.end(),
            "expected " + Join(e.titles) + ", got \"" + command + "\"");
    if (e.screen) {
      const std::string wrong = e.screen(screen);
      Check(wrong.empty(), wrong + " (\"" + command + "\")");
    }
  }
  const std::vector<std::uintptr_t> posted = ProcessPosted();
  std::string postedText;
  for (std::uintptr_t c : posted) postedText += " " + std::to_string(c);
  Check(posted == e.posted, "posted commands:" + postedText);
  if (e.playerKnown)
    Check(Snapshot() == e.player,
          "the player is at " + Snapshot().Text() + ", expected " + e.player.Text());
  const std::size_t told = player_.changes.size() - marks.changes;
  Check(told == e.changes.size(), "the other plug-in was told " + std::to_string(told) +
                                      " values, expected " + std::to_string(e.changes.size()));
  for (std::size_t i = 0; i < told; ++i) {
    const ValueChange& got = player_.changes[marks.changes + i];
    const ValueChange& want = e.changes[i];
    const bool anyValue = e.lastValueAny && i + 1 == told;
    Check(got.id == want.id && (anyValue || got.value == want.value),
          "the other plug-in was told " + std::to_string(got.id) + "=" + std::to_string(got.value) +
              ", expected " + std::to_string(want.id) + "=" + std::to_string(want.value));
  }
  QuietChecks();
  ++checkedSteps_;
}

// --- Calls ---

std::optional<bool> Soak::PluginInCall() {
  if (phone_.model().screen().calls.empty()) return false;
  if (callsExact_) return true;
  return std::nullopt;
}

bool Soak::KeyScreenShown(const phone::Screen& screen) const {
  if (!screen.dialog || screen.dialog->title != "Remote keys") return false;
  // The newer set has no screen of its own for it: a notice saying so.
  return newer_ ? screen.dialog->type == DialogType::Notice &&
                      screen.dialog->text == "Keys drive the player."
                : screen.dialog->type == DialogType::Hold;
}

void Soak::SetClccRefused(bool refused) {
  clccRefused_ = refused;
  Note(refused ? "the phone refuses +CLCC" : "the phone lists its calls");
  if (refused) {
    phone_.model().rules().Edit("+CLCC").result = phone::ReplyRule::Result::Error;
  } else {
    phone_.model().rules().Remove("+CLCC");
  }
}

void Soak::CallsStart(PlayerState& player) {
  if (player.state == 1) {
    player.state = 3;
    pausedAt_ = player.position;
    pauseUntouched_ = true;
    ++tracker_["paused"];
  } else if (!(pausedAt_ && player.state == 3 && player.position == *pausedAt_)) {
    pausedAt_.reset();
  }
}

void Soak::CallsEnd(PlayerState& player) {
  if (pausedAt_ && player.state == 3 && player.position == *pausedAt_) {
    player.state = 1;
    ++tracker_["resumed"];
  } else if (pausedAt_) {
    ++tracker_["left to the user"];
  }
  pausedAt_.reset();
}

void Soak::CheckCallInvariants(const PlayerState& before) {
  const PlayerState now = Snapshot();
  PlayerState same = now;
  same.state = before.state;
  Check(same == before, "a call moved the player to " + now.Text() + " from " + before.Text());
  if (before.state == 1 && now.state == 3) {
    pausedAt_ = now.position;
    pauseUntouched_ = true;
  } else if (before.state == 3 && now.state == 1) {
    Check(pausedAt_ && *pausedAt_ == now.position, "Quillet resumed a pause it did not make");
    pausedAt_.reset();
    ++tracker_["resumed, unlisted"];
  } else {
    Check(before.state == now.state, "a call changed the player to " + now.Text());
  }
  if (!phone_.model().screen().calls.empty()) return;
  // Every call has ended and the link is up: the tracker's view is empty
  // again, and a pause of Quillet's left alone has been resumed.
  Check(!(pausedAt_ && pauseUntouched_), "a pause of Quillet's stays after every call ended");
  pausedAt_.reset();
  callsExact_ = true;
}

void Soak::CallStep() {
  if (Chance(0.08)) SetClccRefused(!clccRefused_);
  const std::vector<phone::PhoneCall> before = phone_.model().screen().calls;
  if (!before.empty() && Chance(0.12)) return CallBlink();
  const std::string number = Pick(std::vector<std::string>{"+15555550123", "0301234567", ""});
  const Marks marks = Mark();
  PlayerState player = Snapshot();
  std::string what;
  std::string error;
  phone::PhoneModel& phone = phone_.model();
  phone_.Now();
  const double r = std::uniform_real_distribution<double>(0, 1)(rng_);
  if (before.empty() ? r < 0.55 : r < 0.12) {
    what = "ring";
    error = phone.RingCall(number);
  } else if (before.empty() || r < 0.2) {
    what = "dial";
    error = phone.DialCall(number);
  } else if (r < 0.45) {
    what = "answer";
    error = phone.AnswerCall(0);
  } else if (r < 0.6) {
    what = "missed";
    error = phone.MissCall();
  } else if (r < 0.8) {
    what = "hang up one";
    error = phone.HangUpCall(Pick(before).id);
  } else {
    what = "hang up";
    error = phone.HangUpCall(0);
  }
  Note("call: " + what + (error.empty() ? "" : " (" + error + ")"));
  ++calls_[error.empty() ? what : what + ", refused"];
  const std::vector<phone::PhoneCall> after = phone.screen().calls;
  // A call that starts beside others makes the tracker ask which are left.
  bool started = false;
  for (const phone::PhoneCall& call : after) {
    started = started || std::none_of(before.begin(), before.end(),
                                      [&](const phone::PhoneCall& c) { return c.id == call.id; });
  }
  const bool asks = started && !before.empty();
  // A call that rings or goes on closes the key screen as NO would: its
  // reports off, the main menu back. An end of one leaves it up.
  const bool closesKeys =
      keyScreenUp_ && error.empty() && (what == "ring" || what == "dial" || what == "answer");
  Run(kSilenceMs);
  std::vector<std::string> sent = WithoutUpkeep(CommandsSince(marks.history));
  if (closesKeys) {
    Check(sent.size() >= 2 && sent[0] == "AT+CMER=0,0,0,0,0" &&
              StartsWith(sent[1], newer_ ? "AT*SELIST=" : "AT*EASM="),
          "a call left the key screen up: the plug-in sent " + Join(sent));
    const phone::Screen& screen = phone_.model().screen();
    Check(screen.menu && !screen.dialog && screen.menu->title == "Winamp menu",
          "a call closed the key screen to \"" + sent[1] + "\"");
    const std::string wrong = CheckMainPage(*screen.menu);
    Check(wrong.empty(), wrong);
    sent.erase(sent.begin(), sent.begin() + 2);
    keyScreenUp_ = false;
    ++keyScreensClosed_;
  }
  Check(ProcessPosted().empty(), "a call posted a command to the player");
  if (!callsExact_) {
    for (const std::string& c : sent) Check(c == "AT+CLCC", "a call made the plug-in send " + c);
    CheckCallInvariants(player);
  } else {
    Check(sent == (asks ? std::vector<std::string>{"AT+CLCC"} : std::vector<std::string>{}),
          "a call made the plug-in send " + Join(sent));
    if (before.empty() && !after.empty()) CallsStart(player);
    if (!before.empty() && after.empty()) CallsEnd(player);
    Check(Snapshot() == player,
          "after a call the player is at " + Snapshot().Text() + ", expected " + player.Text());
  }
  QuietChecks();
}

// The phone goes away during a call and comes back; the tracker keeps what it
// paused and asks the phone which calls are left.
void Soak::CallBlink() {
  Note("call: the phone goes away");
  ++calls_["phone away"];
  phone_.Now();
  phone_.model().SetDsr(false);
  Check(RunUntil([&] { return Status() == kStatusStandingBy; }, 30000),
        "the phone away during a call never showed as standing by");
  PlayerState player = Snapshot();
  // Calls ended meanwhile are found ended on the list. Refused, whether the
  // plug-in read their end before the line went down would be a race.
  if (!clccRefused_ && Chance(0.5)) {
    const std::vector<phone::PhoneCall> calls = phone_.model().screen().calls;
    const std::int32_t id = Chance(0.5) ? 0 : Pick(calls).id;
    Note("call: hang up " + std::to_string(id) + " while the phone is away");
    phone_.Now();
    Check(phone_.model().HangUpCall(id).empty(), "the phone would not hang up");
  }
  Run(static_cast<std::uint64_t>(Uniform(0, 5000)));
  Note("call: the phone is back");
  phone_.Now();
  phone_.model().SetDsr(true);
  Recover("the phone away during a call");
  if (!callsExact_) return CheckCallInvariants(player);
  if (phone_.model().screen().calls.empty()) {
    CallsEnd(player);
  } else if (clccRefused_) {
    callsExact_ = false;  // the tracker counts only the calls it hears of from now on
    ++tracker_["unlisted after a blink"];
  }
  Check(Snapshot() == player, "after the phone came back the player is at " + Snapshot().Text() +
                                  ", expected " + player.Text());
}

// --- Faults ---

void Soak::StartFault() {
  const std::uint64_t now = os_.VirtualMs();
  const double r = std::uniform_real_distribution<double>(0, 1)(rng_);
  inSync_ = false;
  if (r < 0.28) {
    fault_ = Fault{FaultKind::kDsrDrop, now + static_cast<std::uint64_t>(Uniform(300, 90000)), now};
    ++faults_["dsr drop"];
    Note("fault: DSR drops");
    phone_.Now();
    phone_.model().SetDsr(false);
  } else if (r < 0.5) {
    fault_ = Fault{FaultKind::kSilent, now + static_cast<std::uint64_t>(Uniform(1000, 60000)), now};
    ++faults_["silent phone"];
    Note("fault: the phone falls silent");
    phone_.model().rules().Edit("").result = phone::ReplyRule::Result::Silent;
  } else if (r < 0.75) {
    // Lines the plug-in never asked for, some while it waits for answers.
    const int lines = static_cast<int>(Uniform(1, 8));
    std::vector<std::uint64_t> times;
    for (int i = 0; i < lines; ++i)
      times.push_back(now + static_cast<std::uint64_t>(Uniform(0, 4000)));
    std::sort(times.begin(), times.end());
    // The fault lasts until the last of them is through the wire.
    std::uint64_t last = now;
    for (const std::uint64_t at : times) {
      std::string junk;
      const double kind = std::uniform_real_distribution<double>(0, 1)(rng_);
      if (kind < 0.35) {
        junk = RandomText(60, true) + "\r\n";
      } else if (kind < 0.6) {
        junk = Pick(std::vector<std::string>{"OK", "ERROR", "RING", "+CME ERROR: 10", "NO CARRIER",
                                             "AT+CGMI", "+CMTI: \"SM\",3", ""}) +
               "\r\n";
      } else if (kind < 0.85) {
        junk.assign(static_cast<std::size_t>(Uniform(1, 40)), '\0');
        for (char& c : junk) {
          c = static_cast<char>(Uniform(0, 255));
          if (c == '*') c = '#';  // never the start of a code of the user's
        }
        junk += "\r\n";
      } else {
        // Longer than the receive buffer now and then.
        junk.assign(
            static_cast<std::size_t>(Chance(0.2) ? Uniform(9000, 12000) : Uniform(100, 2000)), 'x');
        junk += "\r\n";
      }
      phone_.At(at);
      phone_.model().SendRaw(junk);
      last = std::max(last, at) + testing::WireMs(junk.size());
      ++junkLines_;
    }
    phone_.Now();
    fault_ = Fault{FaultKind::kJunk, last + 1000, now};
    ++faults_["junk"];
    Note("fault: " + std::to_string(lines) + " junk lines");
  } else {
    fault_ =
        Fault{FaultKind::kPortChange, now + static_cast<std::uint64_t>(Uniform(1000, 60000)), now};
    ++faults_["port change"];
    const std::string name =
        Pick(std::vector<std::string>{"Disabled", "Disabled", "COM2", "COM9", "COM12", ""});
    PortChange(name, Chance(0.3));
  }
}

void Soak::PortChange(const std::string& name, bool restoreInDialog) {
  Note("fault: port changed to \"" + name + "\"" +
       (restoreInDialog ? ", and back in the same dialog" : ""));
  const std::string expected = name == "Disabled" ? kStatusDisabled : kStatusPortBusy;
  bool restored = false;
  os_.dialogScript = [&](DialogProcedure& dialog, Handle h) {
    os_.dialog.texts[kPortComboId] = name;
    const bool apply = restoreInDialog || Chance(0.6);
    dialog.OnCommand(h, apply ? kApplyButtonId : kOkButtonId);
    if (!apply) return;
    Check(RunUntil([&] { return Status() == expected; }, kPortChangeBoundMs),
          "after Apply of \"" + name + "\" the status is " + Status());
    // The dialog's own thread shows the updates posted to it.
    for (; os_.dialog.postedUpdates > 0; --os_.dialog.postedUpdates) dialog.OnStatusUpdate(h);
    Check(os_.dialog.texts[kStatusControlId] == expected,
          "the dialog shows \"" + os_.dialog.texts[kStatusControlId] + "\"");
    if (restoreInDialog) {
      Run(Uniform(0, 5000));
      os_.dialog.texts[kPortComboId] = "COM1";
      dialog.OnCommand(h, kApplyButtonId);
      restored = true;
    }
    dialog.OnCommand(h, Chance(0.5) ? kOkButtonId : kCancelButtonId);
  };
  plugin_.Config();
  os_.dialogScript = nullptr;
  Check(os_.dialog.ended, "the dialog did not end");
  if (restored) {
    fault_->endsAt = os_.VirtualMs();
    return;
  }
  Check(plugin_.PortName() == name,
        "the port is \"" + plugin_.PortName() + "\", not \"" + name + "\"");
  Check(RunUntil([&] { return Status() == expected; }, kPortChangeBoundMs),
        "with port \"" + name + "\" the status is " + Status());
}

void Soak::RestorePort() {
  Note("port back to COM1");
  os_.dialogScript = [&](DialogProcedure& dialog, Handle h) {
    os_.dialog.texts[kPortComboId] = "COM1";
    if (Chance(0.5)) {
      dialog.OnCommand(h, kOkButtonId);
      return;
    }
    dialog.OnCommand(h, kApplyButtonId);
    Check(RunUntil([&] { return Status() == kConnected; }, kReconnectBoundMs),
          "after Apply of COM1 the status is " + Status());
    for (; os_.dialog.postedUpdates > 0; --os_.dialog.postedUpdates) dialog.OnStatusUpdate(h);
    Check(os_.dialog.texts[kStatusControlId] == kConnected,
          "the dialog shows \"" + os_.dialog.texts[kStatusControlId] + "\"");
    dialog.OnCommand(h, Chance(0.5) ? kOkButtonId : kCancelButtonId);
  };
  plugin_.Config();
  os_.dialogScript = nullptr;
  Check(os_.dialog.ended, "the dialog did not end");
  Check(plugin_.PortName() == "COM1", "the port is \"" + plugin_.PortName() + "\"");
}

void Soak::EndFault() {
  const Fault fault = *fault_;
  switch (fault.kind) {
    case FaultKind::kDsrDrop:
      Note("DSR back");
      // Long enough for the monitor to have seen it, whatever it was doing.
      if (os_.VirtualMs() - fault.startedAt >= 30000)
        Check(fault.sawStandingBy || Status() == kStatusStandingBy,
              "a long DSR drop never showed as standing by");
      phone_.Now();
      phone_.model().SetDsr(true);
      Recover("DSR drop");
      break;
    case FaultKind::kSilent:
      Note("the phone answers again");
      phone_.model().rules().Remove("");
      Recover("silent phone");
      break;
    case FaultKind::kJunk:
      Recover("junk");
      break;
    case FaultKind::kPortChange:
      if (plugin_.PortName() != "COM1") RestorePort();
      Recover("port change");
      break;
  }
  fault_.reset();
}

// The link is back: connected, then a menu opening answered, with the
// handles it had when all was well.
void Soak::Recover(const char* after) {
  const std::uint64_t from = os_.VirtualMs();
  Check(RunUntil([&] { return Status() == kConnected; }, kReconnectBoundMs),
        std::string("after ") + after + " the status stays " + Status());
  const std::uint64_t reconnected = os_.VirtualMs() - from;
  // Whatever the user did meanwhile has been answered.
  std::size_t seen = History().size();
  std::uint64_t quietSince = os_.VirtualMs();
  const bool quiet = RunUntil(
      [&] {
        if (History().size() != seen) {
          seen = History().size();
          quietSince = os_.VirtualMs();
        }
        return os_.VirtualMs() - quietSince >= kQuietMs;
      },
      kQuietBoundMs);
  Check(quiet, std::string("after ") + after + " the plug-in keeps sending");
  Run(kQuietMs);
  ProcessPosted();
  const std::size_t mark = History().size();
  const std::uint64_t opened = os_.VirtualMs();
  phone_.Now();
  phone_.model().OpenAccessoryMenu();
  const bool answered = RunUntil(
      [&] {
        for (std::size_t i = mark; i < History().size(); ++i)
          if (Draws(History()[i])) return true;
        return false;
      },
      kReopenBoundMs);
  Check(answered, std::string("after ") + after + " a menu opening got no page");
  const std::uint64_t answeredIn = os_.VirtualMs() - opened;
  Settle();
  // A key screen left up through the fault has its reports turned off first.
  std::vector<std::string> opening = WithoutUpkeep(CommandsSince(mark));
  if (opening.size() == 2 && opening[0] == "AT+CMER=0,0,0,0,0") opening.erase(opening.begin());
  keyScreenUp_ = false;
  Check(opening.size() == 1, "an opening got " + Join(CommandsSince(mark)));
  Check(Status() == kConnected, "the status is " + Status());
  const phone::Screen& screen = phone_.model().screen();
  Check(screen.menu && screen.menu->title == (supplierPresent_ ? "Sample menu" : "Winamp menu"),
        "an opening showed \"" + opening[0] + "\"");
  ProcessPosted();
  inSync_ = true;
  menuValid_ = true;
  pageStale_ = false;
  if (steadyHandles_ != 0) {
    QuietChecks();
    ++recoveries_;
    maxReconnectMs_ = std::max(maxReconnectMs_, reconnected);
    totalReconnectMs_ += reconnected;
    maxAnswerMs_ = std::max(maxAnswerMs_, answeredIn);
    Note(std::string("recovered from ") + after + ": connected after " +
         std::to_string(reconnected) + " ms, menu answered in " + std::to_string(answeredIn) +
         " ms");
  }
}

// --- Checks and reports ---

void Soak::QuietChecks() {
  const std::size_t handles = os_.OpenHandles().size();
  maxHandles_ = std::max(maxHandles_, handles);
  Check(handles == steadyHandles_, std::to_string(handles) + " handles open, " +
                                       std::to_string(steadyHandles_) + " when all was well");
  Check(os_.OpenPortCount() == 1, "ports open: " + std::to_string(os_.OpenPortCount()));
  Check(os_.badCloses == 0, "bad closes: " + std::to_string(os_.badCloses));
  Check(os_.overlappedMisuse == 0,
        "overlapped records misused: " + std::to_string(os_.overlappedMisuse));
  // Each new object replaces the one before it.
  Check(phone_.model().objects().size() <= 1,
        "the phone holds " + std::to_string(phone_.model().objects().size()) + " objects of ours");
}

void Soak::Check(bool ok, const std::string& what) {
  if (!ok) throw SoakFailure(what);
}

void Soak::Note(const std::string& what) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%10.3f s  ", static_cast<double>(os_.VirtualMs()) / 1000);
  recent_.push_back(stamp + what);
  if (recent_.size() > 40) recent_.pop_front();
}

void Soak::Report(const char* verdict, double realSeconds) {
  const double virtualSeconds = static_cast<double>(os_.VirtualMs() - startMs_) / 1000;
  auto list = [](const std::map<std::string, int>& counts) {
    std::string text;
    int total = 0;
    for (const auto& [name, n] : counts) {
      text += (text.empty() ? "" : ", ") + name + " " + std::to_string(n);
      total += n;
    }
    return std::to_string(total) + (text.empty() ? "" : " (" + text + ")");
  };
  std::printf("virtual soak %s: seed %" PRIu64 ", %s phone\n", verdict, options_.seed,
              newer_ ? "newer" : "older");
  std::printf("  virtual time   %.1f s (%.1f min)\n", virtualSeconds, virtualSeconds / 60);
  std::printf("  real time      %.1f s\n", realSeconds);
  std::printf("  steps          %d (%d checked against the player)\n", steps_, checkedSteps_);
  std::printf("  user actions   %s\n", list(actions_).c_str());
  std::printf("  player changes %s\n", list(playerChanges_).c_str());
  std::printf("  faults         %s; junk lines %d\n", list(faults_).c_str(), junkLines_);
  std::printf(
      "  calls          %s; the player %s; key screens closed %d, refused during a call %d\n",
      list(calls_).c_str(), list(tracker_).c_str(), keyScreensClosed_, keysRefusedInCall_);
  std::printf("  searches       %s\n", list(searches_).c_str());
  std::printf("  charset        Charset=%s, phone offers %s: %s\n",
              charset_.empty() ? "(absent)" : charset_.c_str(), Join(offered_).c_str(),
              agreed_ == Agreed::kNoCharset ? "ANSI bytes as before"
              : agreed_ == Agreed::kUtf8    ? "UTF-8"
              : agreed_ == Agreed::kLatin1  ? "8859-1"
                                            : "none agreed, ASCII");
  std::printf("  titles         %d in other scripts seen as expected\n", foreignTitlesShown_);
  std::printf(
      "  recoveries     %d: connected again within %.1f s (mean %.2f s) of the fault's end,"
      " then a menu opening answered within %.2f s\n",
      recoveries_, static_cast<double>(maxReconnectMs_) / 1000,
      recoveries_ ? static_cast<double>(totalReconnectMs_) / 1000 / recoveries_ : 0.0,
      static_cast<double>(maxAnswerMs_) / 1000);
  std::printf(
      "  handles        start %zu, end %zu, most %zu, after quit %zu; bad closes %d, "
      "overlapped misuse %d\n",
      handlesAtStart_, handlesAtEnd_, maxHandles_, handlesAfterQuit_, os_.badCloses,
      os_.overlappedMisuse);
  std::printf(
      "  phone          %zu commands received, %zu bytes sent; fullscreen %d; dialogs refused %d\n",
      phone_.model().history().size(), phone_.bytesSent(), fullscreens_, dialogsRefused_);
  std::fflush(stdout);
}

int Soak::Run() {
  const auto began = std::chrono::steady_clock::now();
  auto realSeconds = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  };
  try {
    Start();
    while (os_.VirtualMs() - startMs_ < options_.virtualMs) Step();
    if (fault_) {
      fault_->endsAt = os_.VirtualMs();
      EndFault();
    }
    handlesAtEnd_ = os_.OpenHandles().size();
    plugin_.Quit();
    handlesAfterQuit_ = os_.OpenHandles().size();
    Check(handlesAfterQuit_ == 0,
          "quit left " + std::to_string(handlesAfterQuit_) + " handles open");
    Check(!plugin_.abandoned(), "quit abandoned the monitor thread");
    Check(os_.badCloses == 0 && os_.overlappedMisuse == 0,
          "bad closes or overlapped misuse at quit");
    Check(os_.profiles[kIniPath]["Quillet"]["Port"] == "COM1", "quit stored another port");
  } catch (const SoakFailure& failure) {
    std::printf("FAILED at step %d, %.3f s virtual: %s\n", steps_,
                static_cast<double>(os_.VirtualMs()) / 1000, failure.what());
    std::printf("last steps:\n");
    for (const std::string& line : recent_) std::printf("  %s\n", line.c_str());
    const std::vector<std::string>& history = phone_.model().history();
    std::printf("last commands the phone received:\n");
    for (std::size_t i = history.size() > 8 ? history.size() - 8 : 0; i < history.size(); ++i)
      std::printf("  %s\n", history[i].c_str());
    std::printf("status: %s\nplayer: %s\n", Status().c_str(), Snapshot().Text().c_str());
    const std::string& trace = os_.files[kTraceFile];
    std::printf("trace tail:\n%s\n",
                trace.substr(trace.size() > 3000 ? trace.size() - 3000 : 0).c_str());
    handlesAtEnd_ = os_.OpenHandles().size();
    plugin_.Quit();
    handlesAfterQuit_ = os_.OpenHandles().size();
    Report("FAILED", realSeconds());
    return 1;
  }
  Report("passed", realSeconds());
  return 0;
}

bool ParseNumber(const char* text, std::uint64_t* value) {
  char* end = nullptr;
  const unsigned long long n = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0') return false;
  *value = n;
  return true;
}

}  // namespace
}  // namespace quillet::soak

int main(int argc, char** argv) {
  quillet::soak::Options options;
  if (const char* seed = std::getenv("QUILLET_SOAK_SEED"))
    quillet::soak::ParseNumber(seed, &options.seed);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::uint64_t value = 0;
    if (arg == "--seed" && i + 1 < argc && quillet::soak::ParseNumber(argv[i + 1], &value)) {
      options.seed = value;
      ++i;
    } else if (arg == "--minutes" && i + 1 < argc &&
               quillet::soak::ParseNumber(argv[i + 1], &value)) {
      options.virtualMs = value * 60 * 1000;
      ++i;
    } else {
      std::fprintf(stderr, "usage: %s [--seed N] [--minutes M]\n", argv[0]);
      return 2;
    }
  }
  quillet::soak::Soak soak(options);
  return soak.Run();
}
