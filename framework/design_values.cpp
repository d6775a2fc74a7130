#include "framework/design_values.h"

#include "framework/base/exceptions.h"

namespace fw {

namespace {

[[noreturn]] void WrongKind(std::string_view property, const char* kind) {
  throw RuntimeException("The property " + std::string(property) + " expects " + kind + ".");
}

}  // namespace

void PropertyObject::DefineProperty(std::string name, Setter setter) {
  setters_.insert_or_assign(std::move(name), std::move(setter));
}

void PropertyObject::SetProperty(std::string_view name, const Value& value) {
  auto it = setters_.find(name);
  if (it == setters_.end()) {
    throw RuntimeException("Unknown property: " + std::string(name));
  }
  if (it->second) it->second(value);
  values_.insert_or_assign(std::string(name), value);
}

const Value& PropertyObject::PropertyValue(std::string_view name) const {
  auto it = values_.find(name);
  if (it == values_.end()) {
    throw RuntimeException("The property " + std::string(name) + " was never set.");
  }
  return it->second;
}

void ApplyDesignValues(PropertyObject& object, std::span<const NamedValue> values) {
  for (const NamedValue& v : values) object.SetProperty(v.name, v.value);
}

void ApplyDesignValues(PropertyObject& object, DesignValues values) {
  ApplyDesignValues(object, std::span<const NamedValue>(values.begin(), values.size()));
}

bool AsBool(const Value& value, std::string_view property) {
  if (const bool* b = std::get_if<bool>(&value)) return *b;
  WrongKind(property, "a boolean");
}

std::int64_t AsInt(const Value& value, std::string_view property) {
  if (const std::int64_t* i = std::get_if<std::int64_t>(&value)) return *i;
  WrongKind(property, "an integer");
}

double AsReal(const Value& value, std::string_view property) {
  if (const double* d = std::get_if<double>(&value)) return *d;
  if (const std::int64_t* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
  WrongKind(property, "a number");
}

const std::string& AsText(const Value& value, std::string_view property) {
  if (const std::string* s = std::get_if<std::string>(&value)) return *s;
  WrongKind(property, "a text");
}

Color AsColor(const Value& value, std::string_view property) {
  if (const Color* c = std::get_if<Color>(&value)) return *c;
  WrongKind(property, "a colour");
}

}  // namespace fw
