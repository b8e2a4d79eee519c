// The state file's schema over the JSON scanner: the records and their keys, identifiers, dates
// and the document. Refusals of the schema itself (missing or repeated keys, wrong lengths, values
// that do not parse) are placed once the value that holds them has ended, as the format fixes.

#include <fmt/format.h>

#include <array>
#include <optional>
#include <span>
#include <string>

#include "orvo_core/ids.hpp"
#include "orvo_store/json_scanner.hpp"
#include "orvo_store/rfc3339.hpp"
#include "orvo_store/state_file.hpp"

namespace orvo::store {
namespace {

class Reader;

// One key of a record: whether it may be missing (or null), and how its value is read into the
// record.
template <class Record>
struct Field {
  std::string_view key;
  bool optional;
  bool (*read)(Reader&, Record&);
};

// Recursive descent over the records of the document. Every step returns false on refusal, which
// the scanner keeps.
class Reader {
 public:
  explicit Reader(std::string_view text) : scan_(text) {}

  bool document(StoreData& out);
  [[nodiscard]] ScanRefusal refusal() const { return scan_.refusal(); }

  bool read_text(std::string& out) {
    return read_str("a string", [&](std::string s) {
      out = std::move(s);
      return true;
    });
  }
  bool read_path(std::filesystem::path& out) {
    return read_str("path string", [&](std::string s) {
      out = std::move(s);
      return true;
    });
  }
  bool read_id(core::ProjectId& out);
  bool read_time(core::UtcTime& out);
  bool read_optional_text(std::optional<std::string>& out);
  bool read_bool(bool& out);
  bool read_text_list(std::vector<std::string>& out);
  bool read_projects(std::vector<core::Project>& out);
  bool read_project(core::Project& out);
  bool read_prefs(core::AppPrefs& out);

 private:
  using Next = JsonScanner::Next;

  template <class Visit>
  bool read_str(std::string_view expected, Visit visit);
  template <class Read>
  bool read_seq(Read read_element);
  template <class Record>
  bool read_record(std::span<const Field<Record>> fields, std::string_view name, Record& out);
  template <class Record>
  bool record_from_map(std::span<const Field<Record>> fields, Record& out);
  template <class Record>
  bool record_from_seq(std::span<const Field<Record>> fields, std::string_view name, Record& out);

  // `ok`, with a refusal not yet placed placed at the end of the value just read.
  bool placed(bool ok) {
    if (!ok) {
      scan_.place_failure();
    }
    return ok;
  }

  JsonScanner scan_;
};

// ---- Values -----------------------------------------------------------------------------------

// A value that must be a JSON string, handed to `visit` decoded; `visit` refuses by calling
// fail_unplaced, and the refusal is placed at the closing quote.
template <class Visit>
bool Reader::read_str(std::string_view expected, Visit visit) {
  const auto c = scan_.value_start();
  if (!c) {
    return false;
  }
  if (*c != '"') {
    return placed(scan_.invalid_type(expected));
  }
  scan_.eat();
  std::string s;
  return placed(scan_.parse_string(s) && visit(std::move(s)));
}

bool Reader::read_id(core::ProjectId& out) {
  return read_str("a formatted UUID string", [&](std::string s) {
    const auto id = core::Uuid::parse(s);
    if (!id) {
      return scan_.fail_unplaced("UUID parsing failed: " + id.error());
    }
    out = core::ProjectId(*id);
    return true;
  });
}

bool Reader::read_time(core::UtcTime& out) {
  return read_str("an RFC 3339 formatted date and time string", [&](std::string s) {
    const auto time = parse_rfc3339(s);
    if (!time) {
      return scan_.fail_unplaced(time.error());
    }
    out = *time;
    return true;
  });
}

bool Reader::read_optional_text(std::optional<std::string>& out) {
  if (scan_.skip_blanks() == 'n') {
    out.reset();
    return scan_.parse_literal();
  }
  std::string text;
  if (!read_text(text)) {
    return false;
  }
  out = std::move(text);
  return true;
}

bool Reader::read_bool(bool& out) {
  const auto c = scan_.value_start();
  if (!c) {
    return false;
  }
  if (*c != 't' && *c != 'f') {
    return placed(scan_.invalid_type("a boolean"));
  }
  out = *c == 't';
  return placed(scan_.parse_literal());
}

// An array whose elements `read_element` reads one by one.
template <class Read>
bool Reader::read_seq(Read read_element) {
  const auto c = scan_.value_start();
  if (!c) {
    return false;
  }
  if (*c != '[') {
    return placed(scan_.invalid_type("a sequence"));
  }
  scan_.eat();
  bool first = true;
  Next next = Next::Item;
  bool ok = true;
  while (ok && (next = scan_.next_element(first)) == Next::Item) {
    ok = read_element();
  }
  return placed(scan_.close_array(ok && next == Next::End));
}

// ---- Records ----------------------------------------------------------------------------------

template <class Record>
bool Reader::read_record(std::span<const Field<Record>> fields, std::string_view name,
                         Record& out) {
  const auto c = scan_.value_start();
  if (!c) {
    return false;
  }
  if (*c == '[') {
    scan_.eat();
    return placed(scan_.close_array(record_from_seq(fields, name, out)));
  }
  if (*c == '{') {
    scan_.eat();
    return placed(scan_.close_object(record_from_map(fields, out)));
  }
  return placed(scan_.invalid_type(name));
}

template <class Record>
bool Reader::record_from_map(std::span<const Field<Record>> fields, Record& out) {
  std::vector<bool> seen(fields.size());
  bool first = true;
  for (;;) {
    std::string key;
    const Next next = scan_.next_key(first, key);
    if (next == Next::Failed) {
      return false;
    }
    if (next == Next::End) {
      break;
    }
    std::size_t i = 0;
    while (i < fields.size() && fields[i].key != key) {
      ++i;
    }
    if (i == fields.size()) {
      if (!scan_.object_colon() || !scan_.skip_value()) {
        return false;
      }
      continue;
    }
    if (seen[i]) {
      return scan_.fail_unplaced(fmt::format("duplicate field `{}`", key));
    }
    if (!scan_.object_colon() || !fields[i].read(*this, out)) {
      return false;
    }
    seen[i] = true;
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!seen[i] && !fields[i].optional) {
      return scan_.fail_unplaced(fmt::format("missing field `{}`", fields[i].key));
    }
  }
  return true;
}

template <class Record>
bool Reader::record_from_seq(std::span<const Field<Record>> fields, std::string_view name,
                             Record& out) {
  bool first = true;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Next next = scan_.next_element(first);
    if (next == Next::Failed) {
      return false;
    }
    if (next == Next::End) {
      return scan_.fail_unplaced(fmt::format("invalid length {}, expected {} with {} element{}", i,
                                             name, fields.size(), fields.size() == 1 ? "" : "s"));
    }
    if (!fields[i].read(*this, out)) {
      return false;
    }
  }
  return true;
}

// ---- The document -----------------------------------------------------------------------------

constexpr std::array<Field<core::Project>, 7> kProjectFields = {{
    {"id", false, [](Reader& r, core::Project& p) { return r.read_id(p.id); }},
    {"name", false, [](Reader& r, core::Project& p) { return r.read_text(p.name); }},
    {"main_path", false, [](Reader& r, core::Project& p) { return r.read_path(p.main_path); }},
    {"worktree_dir_template", false,
     [](Reader& r, core::Project& p) { return r.read_text(p.worktree_dir_template); }},
    {"quick_base", true,
     [](Reader& r, core::Project& p) { return r.read_optional_text(p.quick_base); }},
    {"preferred_editor", true,
     [](Reader& r, core::Project& p) { return r.read_optional_text(p.preferred_editor); }},
    {"created_at", false, [](Reader& r, core::Project& p) { return r.read_time(p.created_at); }},
}};

constexpr std::array<Field<core::AppPrefs>, 4> kPrefsFields = {{
    {"editor_cmd", false, [](Reader& r, core::AppPrefs& p) { return r.read_text(p.editor_cmd); }},
    {"pi_bin", false, [](Reader& r, core::AppPrefs& p) { return r.read_text(p.pi_bin); }},
    {"pi_extra_args", false,
     [](Reader& r, core::AppPrefs& p) { return r.read_text_list(p.pi_extra_args); }},
    {"default_start_pi_on_create", false,
     [](Reader& r, core::AppPrefs& p) { return r.read_bool(p.default_start_pi_on_create); }},
}};

constexpr std::array<Field<StoreData>, 2> kDocumentFields = {{
    {"projects", false, [](Reader& r, StoreData& d) { return r.read_projects(d.projects); }},
    {"prefs", false, [](Reader& r, StoreData& d) { return r.read_prefs(d.prefs); }},
}};

bool Reader::read_text_list(std::vector<std::string>& out) {
  return read_seq([&] { return read_text(out.emplace_back()); });
}

bool Reader::read_projects(std::vector<core::Project>& out) {
  return read_seq([&] { return read_project(out.emplace_back()); });
}

bool Reader::read_project(core::Project& out) {
  return read_record(std::span<const Field<core::Project>>(kProjectFields), "struct Project", out);
}

bool Reader::read_prefs(core::AppPrefs& out) {
  return read_record(std::span<const Field<core::AppPrefs>>(kPrefsFields), "struct AppPrefs", out);
}

bool Reader::document(StoreData& out) {
  return read_record(std::span<const Field<StoreData>>(kDocumentFields), "struct StoreData", out) &&
         scan_.end_of_text();
}

}  // namespace

tl::expected<StoreData, JsonError> read_state(std::string_view text) {
  Reader reader(text);
  StoreData data;
  if (reader.document(data)) {
    return data;
  }
  ScanRefusal refusal = reader.refusal();
  return tl::unexpected(JsonError(std::move(refusal.message), refusal.line, refusal.column));
}

}  // namespace orvo::store
