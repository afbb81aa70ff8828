#include "json_out.h"

#include <json/writer.h>

namespace standin {

std::string WriteJson(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  builder["emitUTF8"] = true;
  return Json::writeString(builder, value);
}

std::string HtmlErrorPage(int status, const std::string& title) {
  const std::string heading = std::to_string(status) + " " + title;
  return "<!DOCTYPE html>\n<html><head><title>" + heading + "</title></head>\n<body><h1>" +
         heading + "</h1><hr><p>wardkeep-standin</p></body></html>\n";
}

}  // namespace standin
