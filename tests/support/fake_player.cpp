#include "fake_player.h"

#include "platform/host_messages.h"

namespace quillet::testing {

namespace {

constexpr std::intptr_t kNotices[] = {603, 3002, 3003, 13003};

}  // namespace

FakePlayer::FakePlayer(fake::FakePlatform& os) : os_(os) {
  os.SetHostHandler([this](std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return Answer(msg, wParam, lParam);
  });
}

void FakePlayer::PlayFromPlayer(std::int32_t entry) {
  position = entry;
  state = 1;
  Notify(3003);
  Notify(603, 0);
}

void FakePlayer::Notify(std::intptr_t id, std::uintptr_t wParam) {
  os_.PlayerMessage(window, host::kWmUser, wParam, id);
}

void FakePlayer::Command(std::uintptr_t wParam, bool system) {
  os_.PlayerMessage(window, system ? 0x0112 : host::kWmCommand, wParam, 0);
}

void FakePlayer::Generate(int n) {
  titles.clear();
  generated_ = n;
}

void FakePlayer::Entries(int n) {
  generated_ = -1;
  titles.clear();
  for (int i = 1; i <= n; ++i) titles.push_back("Track " + std::to_string(i));
}

std::intptr_t FakePlayer::Answer(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (msg == host::kWmCommand) {
    commands.push_back(wParam);
    if (wParam == host::kCommandPlay && (!titles.empty() || generated_ > 0)) state = 1;
    if (wParam == host::kCommandVideoToggle) video = !video;
    if (wParam == host::kCommandPause && (state == 1 || state == 3)) state = state == 1 ? 3 : 1;
    return 0;
  }
  if (msg != host::kWmUser) return 0;
  if (lParam == host::kRegisterName) {
    const std::string name = reinterpret_cast<const char*>(wParam);
    auto [it, added] = names_.emplace(name, 0xC000 + std::intptr_t(names_.size()));
    if (name == kQueryMenuName) messages.queryMenu = it->second;
    if (name == kLoadMenuName) messages.loadMenu = it->second;
    if (name == kValueChangedName) messages.valueChanged = it->second;
    if (name == kMenuClosedName) messages.menuClosed = it->second;
    return it->second;
  }
  if (lParam >= 0xC000) return Registered(wParam, lParam);
  for (const std::intptr_t notice : kNotices)
    if (lParam == notice) return 0;
  ++requests;
  asked.push_back(lParam);
  if (beforeRequest) beforeRequest();
  const auto entry = static_cast<std::intptr_t>(wParam);
  switch (lParam) {
    case host::kVolume:
      if (wParam == host::kQueryVolume) return volume;
      volume = static_cast<std::int32_t>(wParam);
      return 0;
    case host::kPlaylistLength:
      return generated_ >= 0 ? generated_ : static_cast<std::intptr_t>(titles.size());
    case host::kPlaylistPosition:
      return position;
    case host::kEntryTitle:
      if (titleAnswer) return *titleAnswer;
      if (generated_ >= 0) {
        if (entry < 0 || entry >= generated_ || static_cast<std::size_t>(entry) >= noTitleFrom)
          return 0;
        std::string& title = made_[nextMade_++ % 16];
        title = "Track " + std::to_string(entry + 1);
        return reinterpret_cast<std::intptr_t>(title.c_str());
      }
      if (entry < 0 || entry >= static_cast<std::intptr_t>(titles.size())) return 0;
      if (static_cast<std::size_t>(entry) >= noTitleFrom) return 0;
      return reinterpret_cast<std::intptr_t>(titles[static_cast<std::size_t>(entry)].c_str());
    case host::kEntryTitleUnicode:
      ++unicodeRequests;
      if (unicodeTitleAnswer) return *unicodeTitleAnswer;
      if (entry < 0 || entry >= static_cast<std::intptr_t>(unicodeTitles.size())) return 0;
      return reinterpret_cast<std::intptr_t>(
          unicodeTitles[static_cast<std::size_t>(entry)].c_str());
    case host::kPlayState:
      return state;
    case host::kSetPosition:
      if (entry >= 0 &&
          entry < (generated_ >= 0 ? generated_ : static_cast<std::intptr_t>(titles.size())))
        position = static_cast<std::int32_t>(entry);
      return 0;
    case host::kVideoWindow:
      return wParam == host::kVideoShownQuery && video ? 1 : 0;
    case host::kGetShuffle:
      return shuffle ? 1 : 0;
    case host::kEntryFileUnicode:
      // Each entry's file is its title.
      if (entry < 0 || entry >= static_cast<std::intptr_t>(titles.size())) return 0;
      file_.assign(titles[static_cast<std::size_t>(entry)].begin(),
                   titles[static_cast<std::size_t>(entry)].end());
      return reinterpret_cast<std::intptr_t>(file_.c_str());
    case host::kGetRepeat:
      return repeat ? 1 : 0;
    case host::kSetShuffle:
      shuffle = wParam != 0;
      return 1;
    case host::kSetRepeat:
      repeat = wParam != 0;
      return 1;
    case host::kSetRating:
      if (keepsRatings) rating = static_cast<std::int32_t>(wParam > 5 ? 5 : wParam);
      return keepsRatings ? 1 : 0;
    case host::kGetRating:
      return rating;
    default:
      return 0;
  }
}

std::intptr_t FakePlayer::Registered(std::uintptr_t wParam, std::intptr_t lParam) {
  if (lParam == messages.loadMenu) {
    const auto id = static_cast<std::int32_t>(wParam);
    if (auto raw = rawAnswers.find(id); raw != rawAnswers.end()) return raw->second;
    auto found = supplied.find(id);
    return found == supplied.end() ? 0 : reinterpret_cast<std::intptr_t>(found->second);
  }
  if (lParam == messages.menuClosed) {
    Menu* menu = reinterpret_cast<Menu*>(wParam);
    closed.emplace_back(menu, menu->id);
  } else if (lParam == messages.valueChanged) {
    changes.push_back(*reinterpret_cast<const ValueChange*>(wParam));
  }
  return 0;
}

}  // namespace quillet::testing
