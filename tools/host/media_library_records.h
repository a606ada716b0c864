// The media library's records as the player lays them out (32-bit): the
// query structure, its list of results and one result.
#pragma once

#include <cstddef>

namespace host {

// The library's records as the player lays them out.
struct ItemRecordW {
  wchar_t* filename;
  wchar_t* title;
  wchar_t* ext;
  wchar_t* album;
  wchar_t* artist;
  wchar_t* comment;
  wchar_t* genre;
  wchar_t* albumartist;
  wchar_t* replaygain_album_gain;
  wchar_t* replaygain_track_gain;
  wchar_t* publisher;
  wchar_t* composer;
  int year;
  int track;
  int tracks;
  int length;
  int rating;
  int playcount;
  __int64 lastplay;
  __int64 lastupd;
  __int64 filetime;
  int filesize;
  int bitrate;
  int type;
  int disc;
  int discs;
  int bpm;
  void* extended_info;
  wchar_t* category;
};
struct ItemRecordListW {
  ItemRecordW* Items;
  int Size;
  int Alloc;
};
struct MlQueryStructW {
  wchar_t* query;
  int max_results;
  ItemRecordListW results;
};

// Checked where pointers are 4 bytes, as in the player.
#define LAYOUT(condition) static_assert(sizeof(void*) != 4 || (condition), #condition)
LAYOUT(sizeof(ItemRecordW) == 128);
LAYOUT(offsetof(ItemRecordW, album) == 12);
LAYOUT(offsetof(ItemRecordW, artist) == 16);
LAYOUT(offsetof(ItemRecordW, albumartist) == 28);
LAYOUT(offsetof(ItemRecordW, year) == 48);
LAYOUT(offsetof(ItemRecordW, track) == 52);
LAYOUT(offsetof(ItemRecordW, lastplay) == 72);
LAYOUT(offsetof(ItemRecordW, filesize) == 96);
LAYOUT(offsetof(ItemRecordW, type) == 104);
LAYOUT(offsetof(ItemRecordW, disc) == 108);
LAYOUT(offsetof(ItemRecordW, extended_info) == 120);
LAYOUT(offsetof(ItemRecordW, category) == 124);
LAYOUT(sizeof(ItemRecordListW) == 12);
LAYOUT(sizeof(MlQueryStructW) == 20);
LAYOUT(offsetof(MlQueryStructW, max_results) == 4);
LAYOUT(offsetof(MlQueryStructW, results) == 8);
#undef LAYOUT

}  // namespace host
