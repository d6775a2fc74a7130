// DatabaseField: a plain value holder.
#include "plugins/database_field.h"

#include <utility>

namespace plugins {

DatabaseField::DatabaseField(std::string name, std::string value, bool isNull)
    : name_(std::move(name)), value_(isNull ? std::string() : std::move(value)), is_null_(isNull) {}

}  // namespace plugins
