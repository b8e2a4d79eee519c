#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "orvo_core/ids.hpp"
#include "orvo_store/state_file.hpp"
#include "state_fixtures.hpp"

namespace orvo::store {
namespace {

// 2024-05-06T07:08:09Z and `nanos`.
core::UtcTime at(std::uint32_t nanos = 0) {
  return {1714979289, nanos};
}

core::AppPrefs default_prefs() {
  return {"zed", "pi", {}, true};
}

core::Project make_project(std::string name, std::string path, core::UtcTime created) {
  return {core::ProjectId(core::Uuid::parse(test::kId).value()),
          std::move(name),
          std::move(path),
          "../worktrees/{repo}",
          std::nullopt,
          std::nullopt,
          created};
}

std::string written(const StoreData& data) {
  const auto text = write_state(data);
  return text ? *text : "refused: " + text.error().message();
}

TEST(WriteState, EmptyStateIsNineLinesWithoutFinalLineBreak) {
  EXPECT_EQ(written({{}, default_prefs()}),
            "{\n"
            "  \"projects\": [],\n"
            "  \"prefs\": {\n"
            "    \"editor_cmd\": \"zed\",\n"
            "    \"pi_bin\": \"pi\",\n"
            "    \"pi_extra_args\": [],\n"
            "    \"default_start_pi_on_create\": true\n"
            "  }\n"
            "}");
}

TEST(WriteState, WritesEveryFieldWithEscapesAndTheShortestExactFraction) {
  StoreData data{{}, {"code -w", "/opt/pi", {"--model", "a \"b\""}, false}};
  data.projects.push_back(make_project("q\"b\\s\t\xC3\xA4", "/u/src/proj", at()));
  data.projects.back().quick_base = "origin/main";
  data.projects.back().preferred_editor = "vim";
  data.projects.push_back(
      make_project("\x01\x1b\x7f/\b\f\n\r", "/u/src/\xE6\x97\xA5", at(120'000'000)));
  data.projects.back().quick_base = "";
  data.projects.push_back(make_project("micro", "rel/path", at(5'000)));
  data.projects.push_back(make_project("nano", "/n", at(123'456'789)));
  EXPECT_EQ(written(data), R"json({
  "projects": [
    {
      "id": "67e55044-10b1-426f-9247-bb680e5fe0c8",
      "name": "q\"b\\s\tä",
      "main_path": "/u/src/proj",
      "worktree_dir_template": "../worktrees/{repo}",
      "quick_base": "origin/main",
      "preferred_editor": "vim",
      "created_at": "2024-05-06T07:08:09Z"
    },
    {
      "id": "67e55044-10b1-426f-9247-bb680e5fe0c8",
      "name": "\u0001\u001b)json"
                           "\x7f"
                           R"json(/\b\f\n\r",
      "main_path": "/u/src/日",
      "worktree_dir_template": "../worktrees/{repo}",
      "quick_base": "",
      "preferred_editor": null,
      "created_at": "2024-05-06T07:08:09.120Z"
    },
    {
      "id": "67e55044-10b1-426f-9247-bb680e5fe0c8",
      "name": "micro",
      "main_path": "rel/path",
      "worktree_dir_template": "../worktrees/{repo}",
      "quick_base": null,
      "preferred_editor": null,
      "created_at": "2024-05-06T07:08:09.000005Z"
    },
    {
      "id": "67e55044-10b1-426f-9247-bb680e5fe0c8",
      "name": "nano",
      "main_path": "/n",
      "worktree_dir_template": "../worktrees/{repo}",
      "quick_base": null,
      "preferred_editor": null,
      "created_at": "2024-05-06T07:08:09.123456789Z"
    }
  ],
  "prefs": {
    "editor_cmd": "code -w",
    "pi_bin": "/opt/pi",
    "pi_extra_args": [
      "--model",
      "a \"b\""
    ],
    "default_start_pi_on_create": false
  }
})json");
}

TEST(WriteState, RefusesTextsThatAreNotUtf8WithoutAPosition) {
  struct Case {
    std::string note;
    StoreData data;
    std::string message;
  };
  const auto with_project = [](std::string name, std::string path) {
    return StoreData{{make_project(std::move(name), std::move(path), at())}, default_prefs()};
  };
  StoreData bad_arg{{}, default_prefs()};
  bad_arg.prefs.pi_extra_args = {"ok", "\xC3("};
  const Case cases[] = {
      {"main path", with_project("n", "/u/\xFF"), "path contains invalid UTF-8 characters"},
      {"name", with_project("\xFF", "/u"), "text contains invalid UTF-8 characters"},
      {"agent argument", bad_arg, "text contains invalid UTF-8 characters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    const auto text = write_state(c.data);
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().message(), c.message);
    EXPECT_EQ(text.error().line(), 0u);
  }
}

// What reading `text` and writing the result back gives.
std::string normalised(const std::string& text) {
  const auto read = read_state(text);
  return read ? written(*read) : "refused: " + read.error().message();
}

const std::string kNormalProject = R"json({
  "projects": [
    {
      "id": "67e55044-10b1-426f-9247-bb680e5fe0c8",
      "name": "n",
      "main_path": "/m",
      "worktree_dir_template": "t",
      "quick_base": null,
      "preferred_editor": null,
      "created_at": "2024-05-06T07:08:09Z"
    }
  ],
  "prefs": {
    "editor_cmd": "zed",
    "pi_bin": "pi",
    "pi_extra_args": [],
    "default_start_pi_on_create": true
  }
})json";

TEST(ReadState, TolerantFormsAreWrittenBackNormalised) {
  struct Case {
    std::string note;
    std::string text;
    std::string created_at;
  };
  const Case cases[] = {
      {"missing optional keys, any order, unknown key, offset, upper-case braced id, blanks",
       " \t\r\n{\"prefs\":" + test::kPrefs +
           R"(, "projects" : [ {"created_at":"2024-05-06T07:08:09+02:00","note":{"a":[1,2]},)"
           R"("name":"n","worktree_dir_template":"t","main_path":"/m",)"
           R"("id":"{67E55044-10B1-426F-9247-BB680E5FE0C8}"} ] } )" +
           "\n",
       "2024-05-06T05:08:09Z"},
      {"array forms and nulls",
       R"([[["urn:uuid:67e55044-10b1-426f-9247-bb680e5fe0c8","n","/m","t",null,null,)"
       R"("2024-05-06 07:08:09Z"]],["zed","pi",[],true]])",
       "2024-05-06T07:08:09Z"},
      {"escaped keys, simple id and relaxed date",
       R"({"projects":[{"i\u0064":"67e5504410b1426f9247bb680e5fe0c8","name":"n","main_path":)"
       R"("\/m","worktree_dir_template":"t","quick_base":null,"created_at":" 2024-5-6t7:8:9 utc"}],)"
       R"("prefs":{"editor_cmd":"zed","pi_bin":"pi","pi_extra_args":[],)"
       R"("default_start_pi_on_create":true}})",
       "2024-05-06T07:08:09Z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    EXPECT_EQ(normalised(c.text),
              test::replaced(kNormalProject, "2024-05-06T07:08:09Z", c.created_at));
  }
}

TEST(ReadState, GivesBackWhatWasWritten) {
  StoreData data{{}, {"", "pi", {"", "\xE2\x80\xA8", "\\"}, false}};
  // 0000-12-31T23:59:59.999999999Z
  const core::UtcTime far{-62135596801, 999'999'999};
  data.projects.push_back(
      make_project("q\"b\\s\t\xC3\xA4 \xF0\x9F\x98\x80 \x01", "/a b/\"c\"", far));
  data.projects.back().preferred_editor = "e";
  const std::string text = written(data);
  const auto read = read_state(text);
  ASSERT_TRUE(read) << read.error().message();
  ASSERT_EQ(read->projects.size(), 1u);
  const core::Project& p = read->projects[0];
  EXPECT_EQ(p.name, data.projects[0].name);
  EXPECT_EQ(p.main_path, data.projects[0].main_path);
  EXPECT_EQ(p.created_at, data.projects[0].created_at);
  EXPECT_EQ(p.preferred_editor, "e");
  EXPECT_EQ(p.quick_base, std::nullopt);
  EXPECT_EQ(read->prefs.pi_extra_args, data.prefs.pi_extra_args);
  EXPECT_FALSE(read->prefs.default_start_pi_on_create);
  EXPECT_EQ(written(*read), text);
}

}  // namespace
}  // namespace orvo::store
