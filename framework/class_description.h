// Class descriptions: which of a framework class's events a program class answers, and
// with which of its methods. A class registers its description once, when the program's
// class initialisers run; the framework raises an event only on a class that answers it,
// and otherwise keeps its own default behaviour.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>
#include <functional>

namespace fw {

/// The registry of descriptions for subclasses of `Base`, whose events are `Event` and
/// whose handlers receive `Args`.
template <class Base, class Event, class Args>
class ClassRegistry {
 public:
  using Handler = std::function<void(Base&, Args&)>;
  struct Description {
    std::string name;                               // the class's name as the framework knows it
    std::vector<std::pair<Event, Handler>> events;  // the events the class answers, in table order
    const Handler* Find(Event event) const {
      for (const auto& [e, h] : events) if (e == event) return &h;
      return nullptr;
    }
  };

  /// Registers (or replaces) the description of class `type`.
  static void Register(std::type_index type, Description description) {
    std::lock_guard lock(Mutex());
    Map().insert_or_assign(type, std::make_shared<const Description>(std::move(description)));
  }
  /// True when the dynamic class of `object` answers `event`.
  static bool Answers(const Base& object, Event event) {
    auto description = Find(typeid(object));
    return description && description->Find(event) != nullptr;
  }
  /// Calls the handler of `event` for the dynamic class of `object`; false when that
  /// class does not answer it (the framework's default behaviour then applies).
  static bool Raise(Base& object, Event event, Args& args) {
    auto description = Find(typeid(object));
    const Handler* handler = description ? description->Find(event) : nullptr;
    if (handler == nullptr) return false;
    (*handler)(object, args);
    return true;
  }
  /// The description of class `type`, or nullptr when it has none.
  static std::shared_ptr<const Description> Find(std::type_index type) {
    std::lock_guard lock(Mutex());
    auto it = Map().find(type);
    return it == Map().end() ? nullptr : it->second;
  }

 private:
  static std::map<std::type_index, std::shared_ptr<const Description>>& Map() {
    static std::map<std::type_index, std::shared_ptr<const Description>> map;
    return map;
  }
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
};

/// Adapts a method of `Self` to a handler of the registry of `Base`: a method without
/// arguments, or one whose arguments `Args::Call` knows how to pass.
template <class Self, class Base, class Args, class Method>
std::function<void(Base&, Args&)> BindHandler(Method method) {
  return [method](Base& object, Args& args) { args.Call(static_cast<Self&>(object), method); };
}

}  // namespace fw
