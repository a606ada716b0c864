#include "playlist.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

namespace host {
namespace {

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  const size_t n = std::char_traits<char>::length(suffix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char a = s[s.size() - n + i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != suffix[i]) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> ParsePlaylist(const std::string& content, bool m3u) {
  std::vector<std::string> titles;
  std::string pending_title;
  size_t start = 0;
  // A UTF-8 byte-order mark in front of the first line is not part of it.
  if (StartsWith(content, "\xEF\xBB\xBF")) start = 3;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    if (line.empty()) continue;
    if (m3u && line[0] == '#') {
      if (StartsWith(line, "#EXTINF:")) {
        const size_t comma = line.find(',');
        pending_title = comma == std::string::npos ? std::string() : line.substr(comma + 1);
      }
      continue;
    }
    titles.push_back(pending_title.empty() ? line : pending_title);
    pending_title.clear();
  }
  return titles;
}

bool LooksLikeM3u(const std::string& path, const std::string& content) {
  if (EndsWithNoCase(path, ".m3u") || EndsWithNoCase(path, ".m3u8")) return true;
  const size_t skip = StartsWith(content, "\xEF\xBB\xBF") ? 3 : 0;
  return content.compare(skip, 7, "#EXTM3U") == 0;
}

Playlist::Playlist() {
  // Room for ordinary titles up front, so handing out a slot rarely allocates.
  for (auto& slot : slots_) slot.reserve(256);
}

void Playlist::Generate(size_t count) {
  generated_ = true;
  count_ = count;
  titles_.clear();
  titles_.shrink_to_fit();
}

void Playlist::Assign(std::vector<std::string> titles) {
  generated_ = false;
  count_ = 0;
  titles_ = std::move(titles);
}

void Playlist::Insert(size_t index, std::string title) {
  if (generated_) {
    std::vector<std::string> titles;
    titles.reserve(count_ + 1);
    for (size_t i = 0; i < count_; ++i) titles.push_back("Track " + std::to_string(i + 1));
    Assign(std::move(titles));
  }
  if (index > titles_.size()) index = titles_.size();
  titles_.insert(titles_.begin() + static_cast<std::ptrdiff_t>(index), std::move(title));
}

bool Playlist::LoadFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open file";
    return false;
  }
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) {
    if (error) *error = "cannot read file";
    return false;
  }
  const std::string text = content.str();
  Assign(ParsePlaylist(text, LooksLikeM3u(path, text)));
  return true;
}

namespace {

std::wstring Widen(const std::string& text, UINT codePage) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

std::string ToAnsi(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, "?", nullptr);
  std::string ansi(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0], n, "?",
                        nullptr);
  return ansi;
}

}  // namespace

std::string TitleBytes(const std::wstring& title, bool utf8) {
  if (!utf8) return ToAnsi(title);
  if (title.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, title.data(), static_cast<int>(title.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, title.data(), static_cast<int>(title.size()), &bytes[0], n,
                        nullptr, nullptr);
  return bytes;
}

const wchar_t* Playlist::WideTitle(size_t index) {
  if (index >= size()) return nullptr;
  std::wstring& slot = wide_slots_[next_wide_slot_];
  next_wide_slot_ = (next_wide_slot_ + 1) % kTitleSlots;
  if (generated_) {
    slot = L"Track " + std::to_wstring(index + 1);
  } else {
    slot = Widen(titles_[index], utf8_ ? CP_UTF8 : CP_ACP);
  }
  return slot.c_str();
}

const char* Playlist::Title(size_t index) {
  if (index >= size()) return nullptr;
  std::string& slot = slots_[next_slot_];
  next_slot_ = (next_slot_ + 1) % kTitleSlots;
  if (generated_) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Track %zu", index + 1);
    slot.assign(buf);
  } else if (utf8_) {
    slot.assign(ToAnsi(Widen(titles_[index], CP_UTF8)));
  } else {
    slot.assign(titles_[index]);
  }
  return slot.c_str();
}

}  // namespace host
