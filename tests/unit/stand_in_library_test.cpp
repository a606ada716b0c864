// The stand-in player's media library: its query language and its file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library_query_language.h"
#include "library_tracks.h"

namespace host {
namespace {

std::vector<LibraryTrack> Sample() {
  std::vector<LibraryTrack> tracks;
  std::string error;
  EXPECT_TRUE(
      ParseLibrary("# file|title|artist|album|albumartist|year|track|disc|type\n"
                   "a.mp3|Dreams|Fleetwood Mac|Rumours||1977|2\r\n"
                   "b.mp3|Ça plane pour moi|Plastic Bertrand|Ça plane|||1\n"
                   "\n"
                   "c.avi|Clip|Fleetwood Mac|||||1|1\n"
                   "d.mp3|Звезда|Кино|Группа крови|Кино|1988\n"
                   "e.mp3|The Chain|The Fleetwood Mac Band|Rumours %|\n",
                   &tracks, &error))
      << error;
  return tracks;
}

std::string Matching(const std::u16string& query) {
  const LibraryQuery q(query);
  std::string files;
  for (const LibraryTrack& t : Sample())
    if (q.Matches(t)) files += Utf16ToUtf8(t.filename).substr(0, 1);
  return files;
}

TEST(StandInLibrary, ReadsTheQueriesTheLibraryReads) {
  struct Row {
    const char* fault;
    std::u16string query;
    std::string matches;  // first letters of the files, in library order
    bool readable;
  };
  const Row rows[] = {
      {"numbers compared as texts", u"type = 0", "abde", true},
      {"case or accents compared", u"artist = \"FLEETWOOD MAC\" AND title = \"dréams\"", "a", true},
      {"Cyrillic case", u"artist = \"кИНО\"", "d", true},
      {"joins with precedence", u"type = 1 OR artist HAS mac AND year = 1977", "a", true},
      {"parentheses ignored", u"type = 1 OR (artist HAS mac AND year = 1977)", "ac", true},
      {"NOT, ! or ISEMPTY wrong", u"!(albumartist ISNOTEMPTY) & NOT (type == 1)", "abe", true},
      {"an absent field matching !=", u"album != \"Rumours\"", "bcde", true},
      {"%XX not UTF-8 bytes", u"album = \"%C3%A7a plane\"", "b", true},
      {"%% not a percent", u"album = \"Rumours %%\"", "e", true},
      {"BEGINS, ENDS or LIKE",
       u"(title BEGINS \"the\") || (album ENDS \"crovi\") || "
       u"(artist LIKE \"fleetwood mac band\")",
       "e", true},
      {"an unknown field read", u"artst = \"Kino\"", "abcde", false},
      {"an open quote read", u"artist = \"Kino", "abcde", false},
      {"an open parenthesis read", u"(artist = Kino", "abcde", false},
      {"a missing value read", u"(artist = )", "abcde", false},
      {"trailing text read", u"artist = Kino Kino", "abcde", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Matching(row.query), row.matches) << row.fault;
    EXPECT_EQ(LibraryQuery(row.query).ok(), row.readable) << row.fault;
  }
}

TEST(StandInLibrary, FileAndGeneratedLibraries) {
  const std::vector<LibraryTrack> sample = Sample();
  ASSERT_EQ(sample.size(), 5u);
  EXPECT_EQ(sample[0].trackno, 2);
  EXPECT_EQ(sample[0].disc, -1);
  EXPECT_EQ(sample[2].type, 1);
  std::vector<LibraryTrack> none;
  std::string error;
  EXPECT_FALSE(ParseLibrary("a|b|c|d|e|1977x\n", &none, &error));
  EXPECT_EQ(error, "line 1");

  const std::vector<LibraryTrack> big = GenerateLibrary(100000, 5000);
  ASSERT_EQ(big.size(), 100000u);
  std::vector<std::u16string> artists;
  for (const LibraryTrack& t : big) artists.push_back(t.artist);
  std::sort(artists.begin(), artists.end());
  artists.erase(std::unique(artists.begin(), artists.end()), artists.end());
  EXPECT_EQ(artists.size(), 5000u);
  // The same every run.
  EXPECT_EQ(GenerateLibrary(50, 5)[49].title, GenerateLibrary(50, 5)[49].title);
}

}  // namespace
}  // namespace host
