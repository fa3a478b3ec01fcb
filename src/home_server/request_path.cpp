#include "home_server/request_path.h"

#include "home_server/text.h"

namespace vyr::home {

TargetParts SplitTarget(std::string_view target) {
  TargetParts parts;
  const size_t mark = target.find('?');
  if (mark == std::string_view::npos) {
    parts.path = target;
  } else {
    parts.path = target.substr(0, mark);
    parts.query = target.substr(mark + 1);
    parts.hasQuery = true;
  }
  return parts;
}

std::string CheckRawTarget(std::string_view target) {
  if (target.empty() || target.front() != '/') return "the target must begin with /";
  if (target.size() > kMaxTargetLength) return "the target is too long";
  if (!IsPrintableToken(target)) return "the target holds a blank, control or non-ASCII byte";
  if (target.find('\\') != std::string_view::npos) return "the target holds a backslash";
  if (target.find('#') != std::string_view::npos) return "the target holds a #";
  return {};
}

DecodedPath DecodeRequestPath(std::string_view rawPath) {
  DecodedPath result;
  auto refuse = [&result](PathVerdict verdict, const char* reason) {
    result.verdict = verdict;
    result.reason = reason;
    result.segments.clear();
    return result;
  };
  if (rawPath.empty() || rawPath.front() != '/') return refuse(PathVerdict::kBadRequest, "the path must begin with /");
  if (rawPath.size() > kMaxPathLength) return refuse(PathVerdict::kBadRequest, "the path is too long");
  if (!IsPrintableToken(rawPath) || rawPath.find('\\') != std::string_view::npos) {
    return refuse(PathVerdict::kBadRequest, "the path holds a byte that is not allowed");
  }
  const std::optional<std::string> decoded = PercentDecode(rawPath, false);
  if (!decoded) return refuse(PathVerdict::kBadRequest, "the path holds a malformed escape");
  if (HasControlByte(*decoded)) return refuse(PathVerdict::kBadRequest, "the path holds a control byte");
  if (decoded->find('\\') != std::string::npos) return refuse(PathVerdict::kBadRequest, "the path holds a backslash");

  bool hidden = false;
  size_t start = 0;
  const std::string& path = *decoded;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string_view segment(path.data() + start, end - start);
    if (!segment.empty()) {
      if (segment == "." || segment == "..") return refuse(PathVerdict::kBadRequest, "the path holds a . or .. segment");
      if (segment.size() > kMaxSegmentLength) return refuse(PathVerdict::kBadRequest, "a path segment is too long");
      if (segment.front() == '.') hidden = true;
      result.segments.emplace_back(segment);
      if (result.segments.size() > kMaxSegments) return refuse(PathVerdict::kBadRequest, "the path is too deep");
    }
    start = end + 1;
  }
  // Hidden names are looked at only once the whole path is known to be
  // well-formed, so that a ".." further on is still a bad request.
  if (hidden) return refuse(PathVerdict::kNotFound, "hidden files are not served");
  result.trailingSlash = path.size() > 1 && path.back() == '/';
  result.verdict = PathVerdict::kOk;
  return result;
}

}  // namespace vyr::home
