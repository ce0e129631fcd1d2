// Approved transcripts: long games played from their input and compared byte for
// byte with the output approved for them. data/transcripts/README.md says what
// each game covers and when approving a new output is right.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "session.hpp"

namespace dusk::test {
namespace {

const std::string kFolder = DUSK_TEST_DATA "/transcripts/";

struct Transcript {
  std::string name;
  std::string input;  // relative to the folder
};

// Named in a failure's report by its name alone.
void PrintTo(const Transcript& transcript, std::ostream* out) { *out << transcript.name; }

// manifest.txt: one transcript a line, "NAME INPUT STATUS"; '#' starts a comment.
// STATUS is the built program's exit status, which binary_test.py checks where
// it plays the program itself; in-process there is no status to compare.
std::vector<Transcript> manifest() {
  std::istringstream lines(readFile(kFolder + "manifest.txt"));
  std::vector<Transcript> transcripts;
  for (std::string line; std::getline(lines, line);) {
    Transcript transcript;
    if (line.starts_with('#') ||
        !(std::istringstream(line) >> transcript.name >> transcript.input)) {
      continue;
    }
    transcripts.push_back(transcript);
  }
  return transcripts;
}

// The approved text as this build prints it: each title's version line shows this
// build's version, whatever version the text was approved with. Nothing else changes.
std::string withThisVersion(std::string text) {
  constexpr std::string_view kTitleLine = "***DUSK  LYNX***\nV";
  for (auto at = text.find(kTitleLine); at != std::string::npos; at = text.find(kTitleLine, at)) {
    at += kTitleLine.size();
    const auto end = std::min(text.find('\n', at), text.size());
    text.replace(at, end - at, kVersion);
  }
  return text;
}

// Up to `count` lines from line `first` (counted from 1), each with its number.
std::string lines(std::string_view text, std::size_t first, std::size_t count) {
  std::ostringstream shown;
  std::size_t at = 0;
  for (std::size_t number = 1; at < text.size() && number < first + count; ++number) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    if (number >= first) shown << "  " << number << ": " << text.substr(at, end - at) << "\n";
    at = end + 1;
  }
  return shown.str();
}

// Where the two texts part: line and column, and a few lines of each around it.
std::string whereTheyPart(std::string_view approved, std::string_view actual) {
  const auto parted = std::mismatch(approved.begin(), approved.end(), actual.begin(), actual.end());
  const auto at = static_cast<std::size_t>(parted.first - approved.begin());
  const std::string_view before = approved.substr(0, at);
  const std::size_t line =
      static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 1;
  const std::size_t lineStart =
      before.rfind('\n') == std::string_view::npos ? 0 : before.rfind('\n') + 1;
  const std::size_t first = line > 3 ? line - 3 : 1;
  std::ostringstream where;
  where << "the output parts from the approved one at line " << line << ", column "
        << at - lineStart + 1 << " (byte " << at << ")\napproved:\n"
        << lines(approved, first, 6) << "actual:\n"
        << lines(actual, first, 6);
  return where.str();
}

class ApprovedTranscript : public testing::TestWithParam<Transcript> {};

TEST_P(ApprovedTranscript, PlaysExactlyAsApproved) {
  const Transcript& transcript = GetParam();
  const std::string input = readFile(kFolder + transcript.input);
  const std::string approved = withThisVersion(readFile(kFolder + transcript.name + ".out"));
  ASSERT_FALSE(input.empty()) << "cannot read " << kFolder << transcript.input;
  ASSERT_FALSE(approved.empty()) << "cannot read " << kFolder << transcript.name << ".out";
  const Played played = playGame(input);
  if (played.output != approved) {
    const std::string unapproved = kFolder + transcript.name + ".unapproved.txt";
    std::ofstream(unapproved, std::ios::binary) << played.output;
    ADD_FAILURE() << whereTheyPart(approved, played.output) << "the whole output is in "
                  << unapproved;
  }
}

INSTANTIATE_TEST_SUITE_P(Transcripts, ApprovedTranscript, testing::ValuesIn(manifest()),
                         [](const auto& info) { return info.param.name; });

// The whole story is one of them: the web front end compares its output with story.out.
TEST(TranscriptManifest, ListsTheWholeStoryAmongOthers) {
  const std::vector<Transcript> transcripts = manifest();
  EXPECT_GE(transcripts.size(), 4u);
  EXPECT_TRUE(std::any_of(transcripts.begin(), transcripts.end(), [](const Transcript& t) {
    return t.name == "story" && t.input == "../story.txt";
  }));
}

TEST(TranscriptManifest, OnlyTheTitlesVersionLineIsMadeThisBuilds) {
  EXPECT_EQ(withThisVersion("***DUSK  LYNX***\nV0.9\nV0.9\n***DUSK  LYNX***\nV1.6 beta\n"),
            std::string("***DUSK  LYNX***\nV") + kVersion + "\nV0.9\n***DUSK  LYNX***\nV" +
                kVersion + "\n");
}

}  // namespace
}  // namespace dusk::test
