#include "sim/json.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sim/message_text.h"

namespace sim {

namespace {

template <typename T>
ojson shortest(T v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  char text[64];
  auto r = std::to_chars(text, text + sizeof text, v);
  double d = 0;
  std::from_chars(text, r.ptr, d);
  // The double nearest the shortest decimal form prints as that form.
  if (d == std::floor(d) && std::abs(d) < 9.0e15) return static_cast<std::int64_t>(d);
  return d;
}

}  // namespace

ojson json_number(double v) { return shortest(v); }
ojson json_number(float v) { return shortest(v); }

}  // namespace sim

namespace sim {

namespace {

// The line and column (1-based) of a byte offset.
void line_and_column(std::string_view text, std::size_t offset, std::size_t& line, std::size_t& column) {
  line = 1, column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

// Builds the document as nlohmann's own DOM builder does, keeping the path
// to where it is for messages, and refusing duplicate keys and deep nesting.
class StrictBuilder {
 public:
  StrictBuilder(json& root, std::string_view text, std::size_t max_depth)
      : dom_(root, true), text_(text), max_depth_(max_depth) {}

  bool null() { return value() && dom_.null(); }
  bool boolean(bool v) { return value() && dom_.boolean(v); }
  bool number_integer(json::number_integer_t v) { return value() && dom_.number_integer(v); }
  bool number_unsigned(json::number_unsigned_t v) { return value() && dom_.number_unsigned(v); }
  bool number_float(json::number_float_t v, const std::string& s) { return value() && dom_.number_float(v, s); }
  bool string(std::string& v) { return value() && dom_.string(v); }
  bool binary(json::binary_t& v) { return value() && dom_.binary(v); }
  bool start_object(std::size_t n) { return open(false) && dom_.start_object(n); }
  bool start_array(std::size_t n) { return open(true) && dom_.start_array(n); }
  bool end_object() {
    frames_.pop_back();
    return dom_.end_object();
  }
  bool end_array() {
    frames_.pop_back();
    return dom_.end_array();
  }
  bool key(std::string& k) {
    Frame& f = frames_.back();
    if (!f.keys.insert(k).second) {
      f.key = k;
      error_ = std::make_unique<JsonTextError>(0, 0, path(frames_.size()), "the field is given twice");
      return false;
    }
    f.key = k;
    return dom_.key(k);
  }
  template <class Exception>
  bool parse_error(std::size_t offset, const std::string& token, const Exception& e) {
    std::size_t line = 0, column = 0;
    // The offset is one past the byte that was read last.
    line_and_column(text_, offset > 0 ? offset - 1 : 0, line, column);
    std::string what = e.what();
    if (e.id == 406) {
      what = "number " + printable(token, 40) + " is beyond the range of a double";
    } else if (const auto p = what.find("syntax error"); p != std::string::npos) {
      what = what.substr(p);
    }
    error_ = std::make_unique<JsonTextError>(line, column, "", one_line(what, 200));
    return false;
  }

  const JsonTextError* error() const { return error_.get(); }

 private:
  struct Frame {
    bool array = false;
    std::size_t elements = 0;
    std::string key;
    std::set<std::string> keys;
  };

  // A value starts: it is the next element of the list it is in.
  bool value() {
    if (!frames_.empty() && frames_.back().array) ++frames_.back().elements;
    return true;
  }
  bool open(bool array) {
    value();
    if (frames_.size() >= max_depth_) {
      error_ = std::make_unique<JsonTextError>(0, 0, path(frames_.size()),
                                               "nested deeper than " + std::to_string(max_depth_) + " levels");
      return false;
    }
    frames_.push_back(Frame{array, 0, {}, {}});
    return true;
  }
  // The path to the current value of the first `depth` frames.
  std::string path(std::size_t depth) const {
    std::string p;
    for (std::size_t i = 0; i < depth; ++i) {
      const Frame& f = frames_[i];
      if (f.array) {
        p += "[" + std::to_string(f.elements - 1) + "]";
      } else {
        p += (p.empty() ? "" : ".") + printable(f.key, 40);
      }
    }
    return p;
  }

  nlohmann::detail::json_sax_dom_parser<json> dom_;
  std::string_view text_;
  std::size_t max_depth_;
  std::vector<Frame> frames_;
  std::unique_ptr<JsonTextError> error_;
};

}  // namespace

json parse_json_strictly(std::string_view text, std::size_t max_depth) {
  if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
    std::size_t line = 0, column = 0;
    line_and_column(text, nul, line, column);
    throw JsonTextError(line, column, "", "a NUL byte; JSON text has none (the text would end there)");
  }
  json doc;
  StrictBuilder builder(doc, text, max_depth);
  const bool ok = json::sax_parse(text.begin(), text.end(), &builder);
  if (!ok && builder.error() != nullptr) throw *builder.error();
  if (!ok) throw JsonTextError(1, 1, "", "not JSON text");
  return doc;
}

}  // namespace sim
