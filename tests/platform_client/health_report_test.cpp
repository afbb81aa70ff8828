#include <gtest/gtest.h>

#include "platform_client/service_monitor.h"

namespace {

struct HealthCase {
  const char* name;
  std::string json;
  bool healthy;
  std::wstring message;  // what `message` holds afterwards; it starts as L"before"
  std::wstring erpName;
};

void ExpectVerdicts(const std::vector<HealthCase>& cases) {
  for (const HealthCase& c : cases) {
    SCOPED_TRACE(c.name);
    platform_client::ServiceMonitor monitor;
    std::wstring message = L"before";
    EXPECT_EQ(monitor.ParseHealthReport(c.json, message), c.healthy);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(monitor.GetErpName(), c.erpName);
  }
}

TEST(HealthReport, HealthyVerdictsLeaveMessageAndNameAlone) {
  ExpectVerdicts({
      {"not JSON", "<html><body>502 Bad Gateway</body></html>", true, L"before", L""},
      {"nested too deep for the reader",
       R"({"exceptionDto":{"ok":false},"x":)" + std::string(5000, '[') + std::string(5000, ']') +
           "}",
       true, L"before", L""},
      {"ok true", R"({"exceptionDto":{"ok":true,"expContent":"E"}})", true, L"before", L""},
      {"ok true, name not read", R"({"exceptionDto":{"ok":true},"configDto":[{"erpName":"X"}]})",
       true, L"before", L""},
      {"ok true, config of any shape", R"({"exceptionDto":{"ok":true},"configDto":["x",3,[1]]})",
       true, L"before", L""},
      {"ok 1", R"({"exceptionDto":{"ok":1}})", true, L"before", L""},
      {"ok 0.5", R"({"exceptionDto":{"ok":0.5}})", true, L"before", L""},
      {"comments allowed", "// status\n{\"exceptionDto\":{\"ok\":true /* fine */}}", true,
       L"before", L""},
  });
}

TEST(HealthReport, FaultVerdictsCarryTheTextAndTheLastName) {
  ExpectVerdicts({
      {"four config entries",
       R"({"exceptionDto":{"ok":false,"expContent":"E"},
           "configDto":[{"erpName":"A"},{"erpName":""},{"erpName":"B"},{}]})",
       false, L"E", L"B"},
      {"empty object", "{}", false, L"", L""},
      {"top level null", "null", false, L"", L""},
      {"exceptionDto null", R"({"exceptionDto":null,"configDto":[{"erpName":"A"}]})", false, L"",
       L"A"},
      {"ok 0", R"({"exceptionDto":{"ok":0,"expContent":"zero"}})", false, L"zero", L""},
      {"ok null", R"({"exceptionDto":{"ok":null,"expContent":"null"}})", false, L"null", L""},
      {"ok missing", R"({"exceptionDto":{"expContent":"gone"}})", false, L"gone", L""},
      {"config an object", R"({"exceptionDto":{"ok":false,"expContent":"E"},
           "configDto":{"erpName":"A"}})",
       false, L"E", L""},
      {"null config entry", R"({"exceptionDto":{"ok":false},"configDto":[{"erpName":"A"},null]})",
       false, L"", L"A"},
      {"number as text", R"({"exceptionDto":{"ok":false,"expContent":500}})", false, L"500", L""},
      {"beyond 32 bits", R"({"exceptionDto":{"ok":false,"expContent":-5000000000}})", false,
       L"-5000000000", L""},
      {"object as text", R"({"exceptionDto":{"ok":false,"expContent":{"a":1}}})", false, L"object",
       L""},
      {"numeric name", R"({"exceptionDto":{"ok":false},"configDto":[{"erpName":7}]})", false, L"",
       L"7"},
      {"Chinese texts",
       R"({"exceptionDto":{"ok":false,"expContent":"数据库连接失败"},"configDto":[{"erpName":"金蝶"}]})",
       false, L"数据库连接失败", L"金蝶"},
  });
}

TEST(HealthReport, MalformedReportsAreFaultsWithoutText) {
  ExpectVerdicts({
      {"top level array", R"([{"exceptionDto":{"ok":true}}])", false, L"", L""},
      {"top level number", "42", false, L"", L""},
      {"top level string", R"("ok")", false, L"", L""},
      {"exceptionDto a string", R"({"exceptionDto":"ok"})", false, L"", L""},
      {"exceptionDto an array", R"({"exceptionDto":[true]})", false, L"", L""},
      {"exceptionDto true", R"({"exceptionDto":true})", false, L"", L""},
      {"ok a string", R"({"exceptionDto":{"ok":"true","expContent":"E"}})", false, L"", L""},
      {"ok an array", R"({"exceptionDto":{"ok":[true],"expContent":"E"}})", false, L"", L""},
      {"ok an object", R"({"exceptionDto":{"ok":{},"expContent":"E"}})", false, L"", L""},
      {"config entry a string",
       R"({"exceptionDto":{"ok":false,"expContent":"E"},"configDto":[{"erpName":"A"},"B"]})", false,
       L"", L""},
      {"config entry an array",
       R"({"exceptionDto":{"ok":false,"expContent":"E"},"configDto":[["A"]]})", false, L"", L""},
      {"config entry a number", R"({"exceptionDto":{"ok":false,"expContent":"E"},"configDto":[1]})",
       false, L"", L""},
  });
}

TEST(HealthReport, TextThatIsNotUtf8IsShownWithReplacements) {
  ExpectVerdicts({
      {"bad fault text", "{\"exceptionDto\":{\"ok\":false,\"expContent\":\"disk\xff full\"}}",
       false, L"disk\uFFFD full", L""},
      {"cut sequence",
       "{\"exceptionDto\":{\"ok\":false},\"configDto\":[{\"erpName\":\"ab\xe4\xb8\"}]}", false, L"",
       L"ab\uFFFD\uFFFD"},
  });
}

// What the report says is read, never obeyed: no terminal sequence, no
// reordering mark, no line break reaches the window or the console.
TEST(HealthReport, FaultTextIsShownWithoutControlAndBidiCharactersAndCutShort) {
  const std::string longText(600, 'x');
  ExpectVerdicts({
      {"terminal sequence",
       R"({"exceptionDto":{"ok":false,"expContent":"a\u001b[2Jb\u001b]0;t\u0007c"}})", false,
       L"a[2Jb]0;tc", L""},
      {"C1 CSI and DEL", R"({"exceptionDto":{"ok":false,"expContent":"a\u009b31mb\u007fc"}})",
       false, L"a31mbc", L""},
      {"line breaks become spaces",
       R"({"exceptionDto":{"ok":false,"expContent":"disk\r\nfull\tnow"}})", false,
       L"disk  full now", L""},
      {"bidi overrides and isolates",
       R"({"exceptionDto":{"ok":false,"expContent":"a\u202eb\u2066c\u2069d\u200ee\u200ff\u202ag"}})",
       false, L"abcdefg", L""},
      {"Chinese and emoji stay",
       R"({"exceptionDto":{"ok":false,"expContent":"磁盘已满 \ud83d\ude00"}})", false,
       L"磁盘已满 \U0001F600", L""},
      {"too long", "{\"exceptionDto\":{\"ok\":false,\"expContent\":\"" + longText + "\"}}", false,
       std::wstring(511, L'x') + L"…", L""},
      {"ERP name too",
       R"({"exceptionDto":{"ok":false},"configDto":[{"erpName":"E\u001b[31mRP\u202e"}]})", false,
       L"", L"E[31mRP"},
  });
}

TEST(HealthReport, NameFromAnEarlierReportSurvivesOnlyNamelessOrMalformedOnes) {
  platform_client::ServiceMonitor monitor;
  std::wstring message;
  monitor.ParseHealthReport(R"({"configDto":[{"erpName":"A"}]})", message);
  ASSERT_EQ(monitor.GetErpName(), L"A");

  monitor.ParseHealthReport(R"({"configDto":[{"erpName":""},{}]})", message);
  EXPECT_EQ(monitor.GetErpName(), L"A");
  monitor.ParseHealthReport(R"({"configDto":[{"erpName":"B"},"broken"]})", message);
  EXPECT_EQ(monitor.GetErpName(), L"A");
  monitor.ParseHealthReport(R"({"configDto":[{"erpName":"C"}]})", message);
  EXPECT_EQ(monitor.GetErpName(), L"C");
}

}  // namespace
