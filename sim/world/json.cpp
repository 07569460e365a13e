#include "sim/world/json.h"

#include <cmath>
#include <cstdio>

std::string JsonEscape(const std::string &text) {
  std::string out;
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

void JsonWriter::Separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) out_ += ',';
    first_.back() = false;
  }
}

JsonWriter &JsonWriter::BeginObject() {
  Separate();
  out_ += '{';
  first_.push_back(true);
  return *this;
}

JsonWriter &JsonWriter::EndObject() {
  out_ += '}';
  first_.pop_back();
  return *this;
}

JsonWriter &JsonWriter::BeginArray() {
  Separate();
  out_ += '[';
  first_.push_back(true);
  return *this;
}

JsonWriter &JsonWriter::EndArray() {
  out_ += ']';
  first_.pop_back();
  return *this;
}

JsonWriter &JsonWriter::Key(const std::string &key) {
  Separate();
  out_ += '"' + JsonEscape(key) + "\":";
  afterKey_ = true;
  return *this;
}

JsonWriter &JsonWriter::String(const std::string &value) {
  Separate();
  out_ += '"' + JsonEscape(value) + '"';
  return *this;
}

JsonWriter &JsonWriter::Number(double value) {
  Separate();
  if (!std::isfinite(value)) {
    out_ += "null";
    return *this;
  }
  char buf[32];
  snprintf(buf, sizeof buf, "%.6g", value);
  out_ += buf;
  return *this;
}

JsonWriter &JsonWriter::Int(long long value) {
  Separate();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter &JsonWriter::Bool(bool value) {
  Separate();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter &JsonWriter::Null() {
  Separate();
  out_ += "null";
  return *this;
}
