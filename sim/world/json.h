#pragma once
// A small streaming JSON writer for the simulator's report.
#include <string>
#include <vector>

class JsonWriter {
 public:
  JsonWriter &BeginObject();
  JsonWriter &EndObject();
  JsonWriter &BeginArray();
  JsonWriter &EndArray();
  JsonWriter &Key(const std::string &key);
  JsonWriter &String(const std::string &value);
  JsonWriter &Number(double value);
  JsonWriter &Int(long long value);
  JsonWriter &Bool(bool value);
  JsonWriter &Null();

  // Shorthands for a key and its value.
  JsonWriter &Field(const std::string &key, const std::string &value) {
    return Key(key).String(value);
  }
  JsonWriter &Field(const std::string &key, const char *value) { return Key(key).String(value); }
  JsonWriter &Field(const std::string &key, double value) { return Key(key).Number(value); }
  JsonWriter &Field(const std::string &key, long long value) { return Key(key).Int(value); }
  JsonWriter &Field(const std::string &key, int value) { return Key(key).Int(value); }
  JsonWriter &Field(const std::string &key, unsigned value) { return Key(key).Int(value); }
  JsonWriter &Field(const std::string &key, bool value) { return Key(key).Bool(value); }

  const std::string &Text() const { return out_; }

 private:
  void Separate();
  std::string out_;
  std::vector<bool> first_;  // per open container: nothing written yet
  bool afterKey_ = false;
};

std::string JsonEscape(const std::string &text);
