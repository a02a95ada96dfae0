#include "checks/reported_name.h"

namespace {

// An empty path is as wrong as a missing one, but as a report it would read
// as a pass; the fixed phrase names the fault instead.
std::string NonEmpty(const std::string& name, const char* whenEmpty) {
  return name.empty() ? std::string(whenEmpty) : name;
}

}  // namespace

std::string ReportedTarget(const FileCommand& copy) {
  if (copy.Arguments.size() >= 2) {
    return NonEmpty(copy.Arguments[1], kCopyWithEmptyTarget);
  }
  if (copy.Arguments.empty()) return kCopyWithoutTarget;
  return NonEmpty(copy.Arguments[0], kCopyWithoutTarget);
}

std::string ReportedSource(const FileCommand& copy) {
  if (copy.Arguments.empty()) return kCopyWithoutTarget;
  return NonEmpty(copy.Arguments[0], kCopyWithEmptySource);
}
