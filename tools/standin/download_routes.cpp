// The JAR download: byte ranges, and the ways a flaky server lets a client down.
#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <optional>

#include "jar_source.h"
#include "json_out.h"
#include "routes.h"
#include "state.h"

namespace standin {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

struct ByteRange {
  std::int64_t first = 0;
  std::optional<std::int64_t> last;
};

// "bytes=N-" or "bytes=N-M"; anything else is served whole, as servers do.
std::optional<ByteRange> ParseRange(const std::string& header) {
  const std::string prefix = "bytes=";
  if (header.rfind(prefix, 0) != 0) return std::nullopt;
  const char* p = header.data() + prefix.size();
  const char* end = header.data() + header.size();
  ByteRange range;
  auto [afterFirst, ec] = std::from_chars(p, end, range.first);
  if (ec != std::errc() || afterFirst == end || *afterFirst != '-') return std::nullopt;
  p = afterFirst + 1;
  if (p != end) {
    std::int64_t last = 0;
    auto [afterLast, ec2] = std::from_chars(p, end, last);
    if (ec2 != std::errc() || afterLast != end || last < range.first) return std::nullopt;
    range.last = last;
  }
  return range;
}

void ErrorPage(httplib::Response& res, int status, const std::string& title) {
  res.status = status;
  res.set_content(HtmlErrorPage(status, title), "text/html");
}

void Serve(State& state, const Settings& s, const httplib::Request& req, httplib::Response& res) {
  std::string error;
  std::shared_ptr<JarSource> source = JarSource::Open(s.jarPath, s.jarSize, s.revision, error);
  if (!source) {
    SetLogNote(error);
    ErrorPage(res, 500, "Internal Server Error");
    return;
  }
  const std::int64_t size = source->Size();
  std::int64_t first = 0;
  std::int64_t last = size - 1;
  res.status = 200;
  const bool etag = s.validators == Validators::Both || s.validators == Validators::Etag;
  const bool date = s.validators == Validators::Both || s.validators == Validators::LastModified;
  if (etag) res.set_header("ETag", source->ETag());
  if (date) res.set_header("Last-Modified", source->LastModified());
  auto range = req.has_header("Range") ? ParseRange(req.get_header_value("Range")) : std::nullopt;
  // A range is for the version the client began with: a changed file goes
  // out whole, unless the server is told to ignore that.
  if (range && s.honourIfRange && req.has_header("If-Range")) {
    const std::string asked = req.get_header_value("If-Range");
    if (!(etag && asked == source->ETag()) && !(date && asked == source->LastModified())) {
      range.reset();
    }
  }
  if (range && s.download != DownloadScenario::IgnoreRange) {
    if (range->first >= size) {
      res.status = 416;
      res.set_header("Content-Range", "bytes */" + std::to_string(size));
      return;
    }
    first = range->first;
    last = std::min(range->last.value_or(size - 1), size - 1);
    res.status = 206;
    res.set_header("Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) +
                                        "/" + std::to_string(size));
  }
  res.set_header("Accept-Ranges", "bytes");

  std::optional<std::int64_t> limit;
  const bool isGet = req.method == "GET";
  if (isGet && (s.download == DownloadScenario::DropAlways ||
                (s.download == DownloadScenario::DropOnce && state.TakeDropOnce()))) {
    limit = s.dropAfter;
    SetLogNote("dropping after " + std::to_string(s.dropAfter) + " bytes");
  }
  const auto length = static_cast<std::size_t>(last - first + 1);
  if (isGet && s.download == DownloadScenario::EndEarly) {
    // Chunked, so the early end looks like the whole file to the client.
    const std::int64_t end = std::min<std::int64_t>(s.dropAfter, static_cast<std::int64_t>(length));
    SetLogNote("ending after " + std::to_string(end) + " bytes");
    res.set_chunked_content_provider(
        "application/java-archive",
        [&state, source, first, end](size_t offset, httplib::DataSink& sink) {
          if (state.ShuttingDown()) return false;
          const auto at = static_cast<std::int64_t>(offset);
          if (at >= end) {
            sink.done();
            return true;
          }
          const auto count = static_cast<std::size_t>(
              std::min<std::int64_t>(static_cast<std::int64_t>(kChunk), end - at));
          char buffer[kChunk];
          if (!source->Read(first + at, buffer, count)) return false;
          return sink.write(buffer, count);
        });
    return;
  }
  const std::optional<std::int64_t> flipAt = isGet && s.download == DownloadScenario::FlipByte
                                                 ? std::optional(s.dropAfter - first)
                                                 : std::nullopt;
  res.set_content_provider(
      length, "application/java-archive",
      [&state, source, first, limit, flipAt](size_t offset, size_t remaining,
                                             httplib::DataSink& sink) {
        if (state.ShuttingDown()) return false;
        auto at = static_cast<std::int64_t>(offset);
        std::size_t count = std::min(remaining, kChunk);
        if (limit) {
          // Returning false makes the server close the connection mid-body.
          if (at >= *limit) return false;
          count = static_cast<std::size_t>(
              std::min<std::int64_t>(static_cast<std::int64_t>(count), *limit - at));
        }
        char buffer[kChunk];
        if (!source->Read(first + at, buffer, count)) return false;
        if (flipAt && *flipAt >= at && *flipAt < at + static_cast<std::int64_t>(count)) {
          buffer[*flipAt - at] = static_cast<char>(~buffer[*flipAt - at]);
        }
        return sink.write(buffer, count);
      });
}

void HandleJar(State& state, const httplib::Request& req, httplib::Response& res) {
  const Settings s = state.ArriveForDownload();
  switch (s.download) {
    case DownloadScenario::NotFound:
      ErrorPage(res, 404, "Not Found");
      break;
    case DownloadScenario::ServerError:
      ErrorPage(res, 500, "Internal Server Error");
      break;
    case DownloadScenario::Stall:
      state.Wait(std::chrono::seconds(s.stallSeconds));
      res.status = 503;
      break;
    default:
      Serve(state, s, req, res);
      break;
  }
  state.RecordDownload(
      {req.method, req.get_header_value("Range"), req.get_header_value("If-Range"), res.status});
  // The ranges are answered above; keep the library from applying them again.
  const_cast<httplib::Request&>(req).ranges.clear();
}

}  // namespace

void AddDownloadRoutes(httplib::Server& server, State& state) {
  server.Get(kJarPath, [&state](const httplib::Request& req, httplib::Response& res) {
    HandleJar(state, req, res);
  });
}

}  // namespace standin
