#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "update/update_check.h"

namespace {

const std::string kBase = "http://updates.example:2406";

struct Outcome {
  Outcome() = default;
  Outcome(std::string u, std::string v, std::string s = "")
      : url(std::move(u)), version(std::move(v)), signature(std::move(s)) {}
  std::string url;
  std::string version;
  std::string signature;  // an offer without one has the empty text
};

const update::UpdateSettings kSettings{kBase, ""};

update::UpdateOffer Untouched() {
  return {"<untouched url>", "<untouched version>", "<untouched signature>", "<untouched size>",
          "<untouched sha256>"};
}

// The offer starts as markers so that "left alone" is visible; the outcome
// says Offered exactly when the offer was filled.
Outcome Parse(const std::string& response, const update::UpdateSettings& settings = kSettings) {
  update::UpdateOffer offer = Untouched();
  const update::CheckResult result = update::ReadUpdateResponse(response, settings, offer);
  EXPECT_EQ(result.kind == update::CheckOutcome::Offered,
            offer.remoteVersion != "<untouched version>");
  return {offer.downloadUrl, offer.remoteVersion, offer.signature};
}

const Outcome kNoOffer{"<untouched url>", "<untouched version>", "<untouched signature>"};

struct Case {
  const char* name;
  std::string response;
  Outcome expected;
};

void RunTable(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome out;
    ASSERT_NO_THROW(out = Parse(c.response)) << c.response;
    EXPECT_EQ(out.url, c.expected.url);
    EXPECT_EQ(out.version, c.expected.version);
    EXPECT_EQ(out.signature, c.expected.signature);
  }
}

std::string WithFlag(const std::string& flag) {
  return R"({"flag":)" + flag + R"(,"data":{"version":"2.1","url":"http://h/a.jar"}})";
}

TEST(ReadUpdateResponse, OnlyFlagWithTheTextOneOffers) {
  const Outcome offer{"http://h/a.jar", "2.1"};
  RunTable({
      {"integer 1", WithFlag("1"), offer},
      {"string 1", WithFlag(R"("1")"), offer},
      {"true", WithFlag("true"), kNoOffer},
      {"2", WithFlag("2"), kNoOffer},
      {"0", WithFlag("0"), kNoOffer},
      {"1.0", WithFlag("1.0"), kNoOffer},
      {"string 01", WithFlag(R"("01")"), kNoOffer},
      {"string space 1", WithFlag(R"(" 1")"), kNoOffer},
      {"string 1 space", WithFlag(R"("1 ")"), kNoOffer},
      {"null", WithFlag("null"), kNoOffer},
      {"array holding 1", WithFlag("[1]"), kNoOffer},
      {"object", WithFlag(R"({"1":1})"), kNoOffer},
      {"no flag", R"({"data":{"version":"2.1","url":"http://h/a.jar"}})", kNoOffer},
  });
}

std::string WithData(const std::string& data) {
  return R"({"flag":1,"data":)" + data + "}";
}

TEST(ReadUpdateResponse, VersionAndLocation) {
  RunTable({
      {"empty version", WithData(R"({"version":"","url":"http://h/a.jar"})"), kNoOffer},
      {"no version", WithData(R"({"url":"http://h/a.jar"})"), kNoOffer},
      {"null version", WithData(R"({"version":null,"url":"http://h/a.jar"})"), kNoOffer},
      {"no data", R"({"flag":1})", kNoOffer},
      {"version as number",
       WithData(R"({"version":2,"url":"http://h/a.jar"})"),
       {"http://h/a.jar", "2"}},
      {"version as real",
       WithData(R"({"version":1.5,"url":"http://h/a.jar"})"),
       {"http://h/a.jar", "1.500000"}},
      {"no url: the base alone", WithData(R"({"version":"3"})"), {kBase, "3"}},
      {"empty url: the base alone", WithData(R"({"version":"3","url":""})"), {kBase, "3"}},
      {"relative with slash",
       WithData(R"({"version":"3","url":"/files/a.jar"})"),
       {kBase + "/files/a.jar", "3"}},
      {"relative without slash: joined to the port",
       WithData(R"({"version":"3","url":"files/a.jar"})"),
       {kBase + "files/a.jar", "3"}},
      {"https unchanged",
       WithData(R"({"version":"3","url":"https://cdn.example/a.jar"})"),
       {"https://cdn.example/a.jar", "3"}},
      {"relative naming http inside is still relative",
       WithData(R"({"version":"3","url":"/dl/httpd-builds/a.jar"})"),
       {kBase + "/dl/httpd-builds/a.jar", "3"}},
      {"scheme in capitals",
       WithData(R"({"version":"3","url":"HTTPS://cdn.example/a.jar"})"),
       {"HTTPS://cdn.example/a.jar", "3"}},
      {"url as number", WithData(R"({"version":"3","url":7})"), {kBase + "7", "3"}},
  });
}

TEST(ReadUpdateResponse, AnswersOfTheWrongShapeOfferNothing) {
  RunTable({
      {"empty body", "", kNoOffer},
      {"HTML error page", "<html><body>502 Bad Gateway</body></html>", kNoOffer},
      {"cut-off JSON", R"({"flag":1,"data":{"version":"2")", kNoOffer},
      {"null document", "null", kNoOffer},
      {"top-level array", R"([{"flag":1}])", kNoOffer},
      {"top-level string", R"("1")", kNoOffer},
      {"top-level number", "1", kNoOffer},
      {"top-level true", "true", kNoOffer},
      {"data as string", WithData(R"("http://h/a.jar")"), kNoOffer},
      {"data as number", WithData("1"), kNoOffer},
      {"data as array", WithData(R"([{"version":"3","url":"/a.jar"}])"), kNoOffer},
      {"version as object", WithData(R"({"version":{"v":"3"},"url":"/a.jar"})"), kNoOffer},
      {"version as array", WithData(R"({"version":["3"],"url":"/a.jar"})"), kNoOffer},
      {"url as object", WithData(R"({"version":"3","url":{"href":"/a.jar"}})"), kNoOffer},
      {"url as array", WithData(R"({"version":"3","url":["/a.jar"]})"), kNoOffer},
      {"nested too deep for the reader", std::string(5000, '[') + std::string(5000, ']'), kNoOffer},
      {"deep member beside an offer",
       WithData(R"({"version":"3","url":"/a.jar","x":)" + std::string(5000, '[') +
                std::string(5000, ']') + "}"),
       kNoOffer},
      {"version beyond 64 bits",
       WithData(R"({"version":-99999999999999999999999,"url":"/a"})"),
       {kBase + "/a", "-99999999999999991611392.000000"}},
  });
}

TEST(ReadUpdateResponse, LocationsThatAreNotHttpOfferNothing) {
  RunTable({
      {"gopher naming http",
       WithData(R"({"version":"3","url":"gopher://127.0.0.1:16380/_FLUSHALL?http"})"), kNoOffer},
      {"ftp", WithData(R"({"version":"3","url":"ftp://h/http/a.jar"})"), kNoOffer},
      {"file", WithData(R"({"version":"3","url":"file:///etc/http.conf"})"), kNoOffer},
      {"dict", WithData(R"({"version":"3","url":"dict://h:2628/d:http"})"), kNoOffer},
      {"telnet", WithData(R"({"version":"3","url":"telnet://h:23/http"})"), kNoOffer},
      {"scheme-like host", WithData(R"({"version":"3","url":"localhost:2406/a.jar"})"), kNoOffer},
      {"http nested in another scheme", WithData(R"({"version":"3","url":"x-http://h/a.jar"})"),
       kNoOffer},
  });
}

TEST(ReadUpdateResponse, AnHttpsServerOffersHttpsOnly) {
  const std::string base = "https://updates.example:2406";
  struct Case {
    const char* url;
    std::string expected;  // empty: no offer
  } cases[] = {
      {"/files/a.jar", base + "/files/a.jar"},
      {"https://cdn.example/a.jar", "https://cdn.example/a.jar"},
      {"http://cdn.example/a.jar", ""},
      {"Http://cdn.example/a.jar", ""},
  };
  for (const Case& c : cases) {
    const Outcome out =
        Parse(WithData(std::string(R"({"version":"3","url":")") + c.url + "\"}"), {base, ""});
    EXPECT_EQ(out.url, c.expected.empty() ? "<untouched url>" : c.expected) << c.url;
    EXPECT_EQ(out.version, c.expected.empty() ? "<untouched version>" : "3") << c.url;
  }
}

std::string WithSignature(const std::string& signature) {
  return WithData(R"({"version":"3","url":"/a.jar","signature":)" + signature + "}");
}

// The signature is read as it came; whether it is any good is decided later.
TEST(ReadUpdateResponse, TheSignatureTravelsWithTheOffer) {
  const std::string sig(86, 'Q');
  RunTable({
      {"Base64 text", WithSignature('"' + sig + "==\""), {kBase + "/a.jar", "3", sig + "=="}},
      {"member missing",
       WithData(R"({"version":"3","url":"/a.jar"})"),
       {kBase + "/a.jar", "3", ""}},
      {"empty text", WithSignature(R"("")"), {kBase + "/a.jar", "3", ""}},
      {"null", WithSignature("null"), {kBase + "/a.jar", "3", ""}},
      {"text kept as it is, spaces too",
       WithSignature(R"(" ab\ncd ")"),
       {kBase + "/a.jar", "3", " ab\ncd "}},
      {"number", WithSignature("12"), {kBase + "/a.jar", "3", "12"}},
      {"true", WithSignature("true"), {kBase + "/a.jar", "3", "true"}},
      {"object: no offer", WithSignature(R"({"sig":"QQ=="})"), kNoOffer},
      {"array: no offer", WithSignature(R"(["QQ=="])"), kNoOffer},
      {"beside flag 0: no offer", R"({"flag":0,"data":{"version":"3","signature":"QQ=="}})",
       kNoOffer},
      {"beside an empty version: no offer", WithData(R"({"version":"","signature":"QQ=="})"),
       kNoOffer},
      {"at the top level it is not the offer's",
       R"({"flag":1,"signature":"QQ==","data":{"version":"3","url":"/a.jar"}})",
       {kBase + "/a.jar", "3", ""}},
  });
}

// Size and hash are read as they came, in their text form; a JSON number is
// its decimal digits. Whether they are any good is judged before the download.
TEST(ReadUpdateResponse, SizeAndHashTravelWithTheOffer) {
  const struct {
    const char* name;
    std::string members;  // added to version and url
    bool offer;
    std::string size;
    std::string sha256;
  } rows[] = {
      {"number and text", R"("size":123456,"sha256":"ab12")", true, "123456", "ab12"},
      {"size as a string", R"("size":"123456")", true, "123456", ""},
      {"a size beyond 32 bits", R"("size":5000000000)", true, "5000000000", ""},
      {"a real number keeps its fixed form", R"("size":1.5)", true, "1.500000", ""},
      {"null", R"("size":null,"sha256":null)", true, "", ""},
      {"missing", R"("url2":1)", true, "", ""},
      {"size an object: no offer", R"("size":{"n":1})", false, "", ""},
      {"hash an array: no offer", R"("sha256":["ab"])", false, "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    update::UpdateOffer offer = Untouched();
    update::ReadUpdateResponse(WithData(R"({"version":"3","url":"/a.jar",)" + row.members + "}"),
                               kSettings, offer);
    EXPECT_EQ(offer.downloadUrl, row.offer ? kBase + "/a.jar" : "<untouched url>");
    EXPECT_EQ(offer.size, row.offer ? row.size : "<untouched size>");
    EXPECT_EQ(offer.sha256, row.offer ? row.sha256 : "<untouched sha256>");
  }
}

TEST(ReadUpdateResponse, CommentsInTheAnswerAreAccepted) {
  RunTable({{"comment before", "// offer\n" + WithFlag("1"), {"http://h/a.jar", "2.1"}}});
}

}  // namespace
