// Design values: objects built from tables of property names and values rather than
// from one hand-written setter call per property. Each class states which property
// names it knows; the values are applied in the order of the table.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace fw {

/// A colour as 0xRRGGBB.
struct Color {
  std::uint32_t rgb = 0;
  friend bool operator==(const Color&, const Color&) = default;
};
inline constexpr Color kBlack{0x000000};
inline constexpr Color kWhite{0xFFFFFF};

/// One design value: a boolean, an integer, a real number, a text or a colour.
using Value = std::variant<bool, std::int64_t, double, std::string, Color>;

/// A property name with its value, as a design table lists them.
struct NamedValue {
  std::string name;
  Value value;
};
using DesignValues = std::initializer_list<NamedValue>;

/// Base of every object that takes design values. Subclasses register a setter for each
/// property name they act on; a property registered as stored only is kept for reading
/// back and has no visible effect on this platform.
class PropertyObject {
 public:
  virtual ~PropertyObject() = default;

  /// Sets one property by name. Throws RuntimeException for a name the class does not
  /// know or a value of the wrong kind.
  void SetProperty(std::string_view name, const Value& value);
  /// The last value given to the property; throws RuntimeException when it was never set.
  const Value& PropertyValue(std::string_view name) const;

 protected:
  using Setter = std::function<void(const Value&)>;
  /// Registers `name` with the setter that acts on it (nullptr: stored only).
  void DefineProperty(std::string name, Setter setter = nullptr);

 private:
  std::map<std::string, Setter, std::less<>> setters_;  // every property name the object knows
  std::map<std::string, Value, std::less<>> values_;    // last value set per property name
};

/// Applies `values` to `object` in the given order.
void ApplyDesignValues(PropertyObject& object, std::span<const NamedValue> values);
void ApplyDesignValues(PropertyObject& object, DesignValues values);

/// The value as the given kind; throws RuntimeException naming `property` when it is
/// of another kind (an integer is accepted where a real number is expected).
bool AsBool(const Value& value, std::string_view property);
std::int64_t AsInt(const Value& value, std::string_view property);
double AsReal(const Value& value, std::string_view property);
const std::string& AsText(const Value& value, std::string_view property);
Color AsColor(const Value& value, std::string_view property);

}  // namespace fw
