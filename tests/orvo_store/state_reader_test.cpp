#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "orvo_sys/text.hpp"

#include "orvo_store/state_file.hpp"
#include "state_fixtures.hpp"

namespace orvo::store {
namespace {

using test::doc;
using test::kId;
using test::kPrefs;
using test::project;
using test::replaced;

std::string refusal(const std::string& text) {
  const auto read = read_state(text);
  return read ? "accepted" : read.error().message();
}

std::string in_projects(const std::string& key, const std::string& value) {
  return doc("[" + project(key, value) + "]");
}

TEST(ReadState, RefusesWithTheMessageAndPosition) {
  struct Case {
    std::string note;
    std::string text;
    std::string message;
  };
  const std::string pretty =
      "{\n  \"projects\": [],\n  \"prefs\": {\n    \"editor_cmd\": \"zed\",\n    \"pi_bin\": "
      "\"pi\",\n    \"pi_extra_args\": [],\n    \"default_start_pi_on_create\": \"yes\"\n  }\n}";
  const Case cases[] = {
      // Empty and incomplete documents.
      {"zero bytes", "", "EOF while parsing a value at line 1 column 0"},
      {"only blanks", "  \n ", "EOF while parsing a value at line 2 column 1"},
      {"eof in object", "{", "EOF while parsing an object at line 1 column 1"},
      {"eof before colon", R"({"projects")", "EOF while parsing an object at line 1 column 11"},
      {"eof before value", R"({"projects":)", "EOF while parsing a value at line 1 column 12"},
      {"eof after comma", R"({"projects":[],)", "EOF while parsing a value at line 1 column 15"},
      {"eof in list", R"({"projects":[)", "EOF while parsing a list at line 1 column 13"},
      {"eof in string", R"({"projects":[],"prefs":{"editor_cmd":"ab)",
       "EOF while parsing a string at line 1 column 40"},

      // Missing and repeated keys.
      {"missing prefs", R"({"projects":[]})", "missing field `prefs` at line 1 column 15"},
      {"missing prefs, pretty", "{\n  \"projects\": []\n}",
       "missing field `prefs` at line 3 column 1"},
      {"missing pref key", doc("[]", replaced(kPrefs, R"("pi_extra_args":[],)", "")),
       "missing field `pi_extra_args` at line 1 column 91"},
      {"missing project key", doc("[" + project("name", std::nullopt) + "]"),
       "missing field `name` at line 1 column 181"},
      {"duplicate field", R"({"projects":[],"projects":[]})",
       "duplicate field `projects` at line 1 column 25"},
      {"duplicate field with blanks", R"({"projects":[], "projects" : []})",
       "duplicate field `projects` at line 1 column 27"},
      {"duplicate pref", doc("[]", R"({"pi_bin":"a","editor_cmd":"z","pi_bin":"b"})"),
       "duplicate field `pi_bin` at line 1 column 62"},

      // Wrong types, with each expectation.
      {"document is a number", "5",
       "invalid type: integer `5`, expected struct StoreData at line 1 column 1"},
      {"document is a string", R"("a\"b\n\u0001é")",
       R"(invalid type: string "a\"b\n\u{1}é", expected struct StoreData at line 1 column 16)"},
      {"projects is a map", R"({"projects":{}})",
       "invalid type: map, expected a sequence at line 1 column 12"},
      {"pi_bin is a sequence", R"({"projects":[],"prefs":{"pi_bin":[1]}})",
       "invalid type: sequence, expected a string at line 1 column 33"},
      {"pi_bin is null", R"({"projects":[],"prefs":{"pi_bin":null}})",
       "invalid type: null, expected a string at line 1 column 37"},
      {"flag is a string", doc("[]", replaced(kPrefs, ":true}", R"(:"true"})")),
       R"(invalid type: string "true", expected a boolean at line 1 column 111)"},
      {"extra args is a map", doc("[]", replaced(kPrefs, "[]", "{}")),
       "invalid type: map, expected a sequence at line 1 column 73"},
      {"extra arg is a boolean", doc("[]", replaced(kPrefs, "[]", R"(["a",true])")),
       "invalid type: boolean `true`, expected a string at line 1 column 82"},
      {"prefs is a string", doc("[]", R"("x")"),
       R"(invalid type: string "x", expected struct AppPrefs at line 1 column 26)"},
      {"project is a number", doc("[1]"),
       "invalid type: integer `1`, expected struct Project at line 1 column 14"},
      {"id is a number", in_projects("id", "5"),
       "invalid type: integer `5`, expected a formatted UUID string at line 1 column 20"},
      {"path is a boolean", in_projects("main_path", "false"),
       "invalid type: boolean `false`, expected path string at line 1 column 86"},
      {"date is a number", in_projects("created_at", "5"),
       "invalid type: integer `5`, expected an RFC 3339 formatted date and time string at line 1 "
       "column 170"},
      {"base is a float", in_projects("quick_base", "1.5"),
       "invalid type: floating point `1.5`, expected a string at line 1 column 130"},
      {"editor is a sequence", in_projects("preferred_editor", "[]"),
       "invalid type: sequence, expected a string at line 1 column 151"},

      // Array forms that are too short or too long.
      {"empty array document", "[]",
       "invalid length 0, expected struct StoreData with 2 elements at line 1 column 2"},
      {"short array document", "[[]]",
       "invalid length 1, expected struct StoreData with 2 elements at line 1 column 4"},
      {"empty prefs array", R"({"projects":[],"prefs":[]})",
       "invalid length 0, expected struct AppPrefs with 4 elements at line 1 column 25"},
      {"short project array", doc(R"([[")" + kId + R"(","n"]])"),
       "invalid length 2, expected struct Project with 7 elements at line 1 column 57"},
      {"extra array element", "[[]," + kPrefs + ",5]", "trailing characters at line 1 column 93"},
      {"trailing comma after last element", "[[]," + kPrefs + ",]",
       "trailing comma at line 1 column 93"},
      {"missing comma in array", "[[] 5]", "expected `,` or `]` at line 1 column 5"},

      // Identifiers and dates that do not parse.
      {"uuid length", in_projects("id", R"("abc")"),
       "UUID parsing failed: invalid length: found 3 at line 1 column 24"},
      {"uuid character", in_projects("id", R"("g7e55044-10b1-426f-9247-bb680e5fe0c8")"),
       "UUID parsing failed: invalid character: found `g` at 1 at line 1 column 57"},
      {"uuid groups", in_projects("id", R"("67e55044-10b1-426f-9247")"),
       "UUID parsing failed: invalid group count: expected 5, found 4 at line 1 column 44"},
      {"uuid group length", in_projects("id", R"("67e5504-410b1-426f-9247-bb680e5fe0c8")"),
       "UUID parsing failed: invalid group length in group 0: expected 8, found 7 at line 1 "
       "column 57"},
      {"date too short", in_projects("created_at", R"("2024")"),
       "premature end of input at line 1 column 175"},
      {"date characters", in_projects("created_at", R"("2024-05-06X07:08:09Z")"),
       "input contains invalid characters at line 1 column 191"},
      {"date trailing", in_projects("created_at", R"("2024-05-06T07:08:09ZZ")"),
       "trailing input at line 1 column 192"},
      {"date month", in_projects("created_at", R"("2024-13-06T07:08:09Z")"),
       "input is out of range at line 1 column 191"},
      {"date calendar", in_projects("created_at", R"("2023-02-29T07:08:09Z")"),
       "input is out of range at line 1 column 191"},
      {"date beyond the writable years",
       in_projects("created_at", R"("9999-12-31T23:00:00-05:00")"),
       "input is out of range at line 1 column 196"},

      // Brackets, separators and keys.
      {"trailing characters", doc() + " x", "trailing characters at line 1 column 113"},
      {"trailing comma in object", R"({"projects":[],})", "trailing comma at line 1 column 16"},
      {"trailing comma in projects", doc("[" + project() + ",]"),
       "trailing comma at line 1 column 194"},
      {"missing colon", R"({"projects" []})", "expected `:` at line 1 column 13"},
      {"missing comma in object", R"({"projects":[] "prefs":1})",
       "expected `,` or `}` at line 1 column 16"},
      {"key not a string", "{1:2}", "key must be a string at line 1 column 2"},
      {"lone surrogate in a key", R"({"projects":[],"prefs":{"\uDC00":1}})",
       "lone leading surrogate in hex escape at line 1 column 31"},

      // Values under unknown keys are skipped but must still be JSON.
      {"skipped list with trailing comma",
       doc("[]", replaced(kPrefs, "true}", R"(true,"x":[1,]})")),
       "expected value at line 1 column 118"},
      {"skipped object with trailing comma",
       doc("[]", replaced(kPrefs, "true}", R"(true,"x":{"a":1,}})")),
       "key must be a string at line 1 column 122"},
      {"control byte in skipped string",
       doc("[]", replaced(kPrefs, "true}", "true,\"x\":\"a\tb\"}")),
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 116"},
      {"skipped list without comma", doc("[]", replaced(kPrefs, "true}", R"(true,"x":[1 2]})")),
       "expected `,` or `]` at line 1 column 118"},

      {"hand-edited pretty file", pretty,
       R"(invalid type: string "yes", expected a boolean at line 7 column 39)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    EXPECT_EQ(refusal(c.text), c.message);
  }
}

TEST(ReadState, SkipsUnknownKeysWhateverTheirValue) {
  const std::string note = R"("note":{"deep":[[[{"x":null}]],1e400,-0.5e-3,"\uD800",true,false]})";
  const auto read = read_state(doc("[" + replaced(project(), "{", "{" + note + ",") + "]",
                                   replaced(kPrefs, "true}", "true," + note + "}")));
  ASSERT_TRUE(read) << read.error().message();
  ASSERT_EQ(read->projects.size(), 1u);
  EXPECT_EQ(read->projects[0].name, "n");
}

TEST(ReadState, DeepNestingUnderAnUnknownKeyDoesNotExhaustTheStack) {
  const std::string open(200000, '[');
  const std::string closed = open + std::string(open.size(), ']');
  EXPECT_TRUE(read_state(doc("[]", replaced(kPrefs, "true}", "true,\"x\":" + closed + "}"))));
  const std::string unclosed = R"({"projects":[],"prefs":{"x":)" + open;
  EXPECT_EQ(refusal(unclosed),
            "EOF while parsing a list at line 1 column " + std::to_string(unclosed.size()));
}

// Where a refusal is placed must lie inside the text: line from 1 to the number of lines,
// column at most the line's length.
void expect_position_inside(const std::string& text, const JsonError& error) {
  std::vector<std::size_t> line_lengths{0};
  for (const char c : text) {
    if (c == '\n') {
      line_lengths.push_back(0);
    } else {
      ++line_lengths.back();
    }
  }
  ASSERT_GE(error.line(), 1u) << error.message();
  ASSERT_LE(error.line(), line_lengths.size()) << error.message();
  EXPECT_LE(error.column(), line_lengths[error.line() - 1]) << error.message();
}

// Damaged copies of a valid state file: every truncation, bytes replaced by characters that
// matter to JSON, slices repeated, and deterministic random edits.
std::vector<std::string> mutations(const std::string& valid) {
  std::vector<std::string> out;
  for (std::size_t n = 0; n < valid.size(); ++n) {
    out.push_back(valid.substr(0, n));
  }
  const std::string replacements = std::string("\"\\{}[],:0-9.eEnu \t\n") + '\0' + "\xFF\xC3";
  for (std::size_t i = 0; i < valid.size(); i += 3) {
    for (const char r : replacements) {
      std::string copy = valid;
      copy[i] = r;
      out.push_back(std::move(copy));
    }
  }
  for (std::size_t i = 0; i < valid.size(); i += 7) {
    for (const std::size_t len : {1, 5, 40}) {
      std::string copy = valid;
      copy.insert(i, valid.substr(i, len));
      out.push_back(std::move(copy));
    }
  }
  std::uint32_t state = 12345;
  const auto random = [&](std::uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  };
  for (int n = 0; n < 2000; ++n) {
    std::string copy = valid;
    for (std::uint32_t edits = 1 + random(4); edits > 0; --edits) {
      const std::size_t at = random(static_cast<std::uint32_t>(copy.size()));
      switch (random(3)) {
        case 0:
          copy[at] = static_cast<char>(random(256));
          break;
        case 1:
          copy.erase(at, 1 + random(8));
          break;
        default:
          copy.insert(at,
                      copy.substr(random(static_cast<std::uint32_t>(copy.size())), 1 + random(16)));
      }
    }
    out.push_back(std::move(copy));
  }
  return out;
}

TEST(ReadState, DamagedFilesGiveAValueOrAPlacedRefusal) {
  const std::string valid =
      "{\n  \"projects\": [\n    " + project() + ",\n    " +
      R"(["{67E55044-10B1-426F-9247-BB680E5FE0C9}","n\u00e9\"\ud83d\ude00","/m/\u0001","t",)" +
      R"("main","vi","2024-05-06T07:08:09.123+02:00"])" + "\n  ],\n  \"prefs\": " +
      replaced(kPrefs, "[]", R"(["-v", "x"],"note":[{"a":-1.5e3},null,true])") + "\n}\n";
  ASSERT_TRUE(read_state(valid)) << read_state(valid).error().message();
  const std::vector<std::string> inputs = mutations(valid);
  ASSERT_GT(inputs.size(), 4000u);
  std::size_t accepted = 0;
  for (const std::string& input : inputs) {
    const auto read = read_state(input);
    if (!read) {
      ASSERT_FALSE(read.error().bare_message().empty());
      expect_position_inside(input, read.error());
      continue;
    }
    ++accepted;
    if (sys::is_valid_utf8(input)) {
      // What was accepted is written back and reads back the same.
      const auto text = write_state(*read);
      ASSERT_TRUE(text) << input;
      const auto again = read_state(*text);
      ASSERT_TRUE(again) << *text;
      EXPECT_EQ(write_state(*again).value(), *text);
    }
  }
  EXPECT_GT(accepted, 0u);
}

}  // namespace
}  // namespace orvo::store
