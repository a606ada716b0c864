#include "library_tracks.h"

#include <cstdlib>

namespace host {
namespace {

bool ParseInt(const std::string& text, int* value) {
  if (text.empty()) {
    *value = -1;
    return true;
  }
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (end != text.c_str() + text.size() || v < -1 || v > 1000000) return false;
  *value = static_cast<int>(v);
  return true;
}

std::vector<std::string> Split(const std::string& line, char by) {
  std::vector<std::string> parts(1);
  for (char c : line) {
    if (c == by) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// Deterministic, the same on every machine.
class Sequence {
 public:
  std::uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  std::uint32_t Below(std::uint32_t n) { return Next() % n; }

 private:
  std::uint32_t state_ = 20261208u;
};

const char* const kLatin[] = {"Rumours", "Dreams", "Silver", "Harbour", "Velvet", "Northern",
                              "Paper",   "Garden", "Signal", "Morning", "Echo",   "Lantern"};
const char* const kAccented[] = {"Café", "Mañana", "Über",   "Sœur", "Fjärran",
                                 "Łódź", "Noël",   "Señora", "Été",  "Ångström"};
const char* const kCyrillic[] = {"Звезда", "Город", "Песня", "Ночь", "Река"};
const char* const kGreek[] = {"Θάλασσα", "Ήλιος", "Αγάπη", "Νύχτα"};
const char* const kJapanese[] = {"さくら", "東京", "ばら", "ゆめ"};

template <std::size_t N>
std::string Pick(Sequence& seq, const char* const (&words)[N]) {
  return words[seq.Below(N)];
}

std::string Words(Sequence& seq, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i) out += ' ';
    switch (seq.Below(8)) {
      case 0:
        out += Pick(seq, kAccented);
        break;
      case 1:
        out += Pick(seq, kCyrillic);
        break;
      case 2:
        out += Pick(seq, kGreek);
        break;
      case 3:
        out += Pick(seq, kJapanese);
        break;
      default:
        out += Pick(seq, kLatin);
    }
  }
  return out;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    char32_t c = 0xFFFD;
    std::size_t n = 1;
    if (b < 0x80) {
      c = b;
    } else if ((b >> 5) == 6) {
      n = 2;
      c = b & 0x1F;
    } else if ((b >> 4) == 14) {
      n = 3;
      c = b & 0x0F;
    } else if ((b >> 3) == 30) {
      n = 4;
      c = b & 0x07;
    }
    if (n > 1) {
      if (i + n > text.size()) {
        c = 0xFFFD;
        n = 1;
      } else {
        for (std::size_t k = 1; k < n; ++k) {
          const auto cont = static_cast<unsigned char>(text[i + k]);
          if ((cont >> 6) != 2) {
            c = 0xFFFD;
            n = k;
            break;
          }
          c = (c << 6) | (cont & 0x3F);
        }
      }
    }
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool ParseLibrary(const std::string& content, std::vector<LibraryTrack>* tracks,
                  std::string* error) {
  std::vector<LibraryTrack> out;
  std::size_t number = 0;
  for (std::string line : Split(content, '\n')) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f = Split(line, '|');
    if (f.size() > 9 || f[0].empty()) {
      *error = "line " + std::to_string(number);
      return false;
    }
    f.resize(9);
    LibraryTrack t;
    std::u16string* texts[] = {&t.filename, &t.title, &t.artist, &t.album, &t.albumartist};
    for (int i = 0; i < 5; ++i) *texts[i] = Utf8ToUtf16(f[i]);
    if (f[8].empty()) f[8] = "0";
    if (!ParseInt(f[5], &t.year) || !ParseInt(f[6], &t.trackno) || !ParseInt(f[7], &t.disc) ||
        !ParseInt(f[8], &t.type)) {
      *error = "line " + std::to_string(number);
      return false;
    }
    out.push_back(std::move(t));
  }
  *tracks = std::move(out);
  return true;
}

std::vector<LibraryTrack> GenerateLibrary(std::size_t tracks, std::size_t artists) {
  Sequence seq;
  std::vector<std::string> names;
  for (std::size_t a = 0; a < artists; ++a) {
    // A number keeps every name distinct; some start with "The ".
    std::string name = (seq.Below(10) == 0 ? "The " : "") + Words(seq, 1 + seq.Below(2)) + " " +
                       std::to_string(a + 1);
    names.push_back(std::move(name));
  }
  std::vector<LibraryTrack> out;
  out.reserve(tracks);
  std::size_t album = 0;
  while (out.size() < tracks) {
    ++album;
    const std::string& artist = names.empty() ? std::string() : names[album % names.size()];
    const std::string albumName = Words(seq, 1 + seq.Below(3)) + " " + std::to_string(album);
    const int year = seq.Below(8) == 0 ? -1 : 1960 + static_cast<int>(seq.Below(65));
    const bool credited = seq.Below(3) != 0;
    const int discs = seq.Below(10) == 0 ? 2 : 1;
    const int size = 6 + static_cast<int>(seq.Below(9));
    for (int i = 0; i < size && out.size() < tracks; ++i) {
      LibraryTrack t;
      t.title = Utf8ToUtf16(Words(seq, 1 + seq.Below(3)));
      t.artist = Utf8ToUtf16(artist);
      t.album = Utf8ToUtf16(albumName);
      if (credited) t.albumartist = t.artist;
      t.year = year;
      t.disc = discs > 1 ? 1 + i * discs / size : (seq.Below(2) ? 1 : -1);
      t.trackno = seq.Below(20) == 0 ? -1 : i + 1;
      t.filename = Utf8ToUtf16("C:\\Music\\" + std::to_string(album) + "\\" +
                               std::to_string(i + 1) + ".mp3");
      out.push_back(std::move(t));
    }
  }
  return out;
}

}  // namespace host
