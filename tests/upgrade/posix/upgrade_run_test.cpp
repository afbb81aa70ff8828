// The whole update run against a local update server: the offer, the download
// beside the program, and the upgrade of the installation found.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/tunables.h"
#include "support/jar_signing.h"
#include "support/local_http_server.h"
#include "support/posix/child_process.h"
#include "support/posix/program_dir_lock.h"
#include "support/scoped_env.h"
#include "support/zip_builder.h"
#include "upgrade/posix/upgrade_drives.h"
#include "upgrade/progress.h"
#include "upgrade/update_run.h"

namespace {

using namespace std::chrono_literals;

namespace fs = upgrade_test::fs;
using testing_support::LocalHttpServer;
using testing_support::ProgramDir;
using testing_support::ProgramDirLock;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::WriteFile;

const char kCheckPath[] = "/api/updateVersion/checkTallyxSDKVersion";
const char kOffer[] = R"({"flag":1,"data":{"version":"2.0.0","url":"/files/stock-relay.jar"}})";
const char kNoOffer[] = R"({"flag":0,"data":null})";

std::string JarBytes() {
  return testing_support::SampleJar(200000, 3);
}

class UpdateRun : public ::testing::Test {
 protected:
  UpdateRun() : m_programDrive("WARDKEEP_DRIVE_E", ProgramDir().string()) {}

  void SetUp() override {
    m_server.Post(kCheckPath, [this](const httplib::Request&, httplib::Response& res) {
      res.status = answerStatus;
      res.set_content(answer, "application/json");
    });
    m_server.Get("/files/stock-relay.jar", [this](const httplib::Request&, httplib::Response& res) {
      res.status = jarStatus;
      res.set_content(jarBody, "application/java-archive");
    });
    ASSERT_TRUE(m_server.Start());
    settings.serverUrl = m_server.Url();
    settings.platformUrl = m_server.Url();
    fs::remove(Download());
  }
  void TearDown() override { fs::remove(Download()); }

  static fs::path Download() { return ProgramDir() / "stock-relay.jar"; }
  void Install(const fs::path& drive) const {
    fs::create_directories(drive / "orv" / "stock-relay" / "app");
    WriteFile(drive / "orv" / "stock-relay" / "app" / "stock-relay.jar", "installed");
  }
  static fs::path InstalledJar(const fs::path& drive) {
    return drive / "orv" / "stock-relay" / "app" / "stock-relay.jar";
  }
  std::string ServerUrl() const { return m_server.Url(); }
  int DownloadRequests() const {
    int count = 0;
    for (const auto& request : m_server.Requests())
      count += request.path == "/files/stock-relay.jar";
    return count;
  }
  // True when the run took an offer.
  bool Run() {
    upgrade::RunRecord record;
    upgrade::ScopedRunRecord collecting(record);
    ::testing::internal::CaptureStdout();
    upgrade::RunUpdate(settings);
    output = ::testing::internal::GetCapturedStdout();
    return !record.offeredVersion.empty();
  }

  ProgramDirLock m_lock;
  upgrade_test::UpgradeDrives drives;
  std::string answer = kOffer;
  int answerStatus = 200;
  std::string jarBody = JarBytes();
  int jarStatus = 200;
  std::string output;
  update::UpdateSettings settings;

 private:
  ScopedEnv m_programDrive;
  LocalHttpServer m_server;
};

TEST_F(UpdateRun, WithoutAnOfferNothingIsTouched) {
  answer = kNoOffer;
  Install(drives.D());
  WriteFile(Download(), "left by an earlier run");
  EXPECT_FALSE(Run());
  EXPECT_EQ(ReadFile(Download()), "left by an earlier run");
  EXPECT_EQ(DownloadRequests(), 0);
  EXPECT_FALSE(fs::exists(drives.D() / "orv" / "stock-relay" / "backUp"));
  EXPECT_EQ(output, "没有可用的更新\n");
}

// Every answer that offers nothing has a line naming what it was; only a 200
// answer without an offer is "no update".
TEST_F(UpdateRun, EachAnswerWithoutAnOfferSaysWhatItWas) {
  Install(drives.D());
  struct Case {
    int status;
    std::string body;
    std::string line;
  };
  const std::vector<Case> cases = {
      {200, kNoOffer, "没有可用的更新"},
      {503, kOffer, "检查更新失败: 更新服务器回答了HTTP状态 503"},
      {200, "", "检查更新失败: 更新服务器的回答为空"},
      {200, "<html>maintenance</html>", "检查更新失败: 无法读取更新服务器的回答 (不是JSON)"},
      {200, R"({"flag":1,"data":{"version":"2.0.0","url":"file:///etc/passwd"}})",
       "错误: 拒绝更新服务器提供的下载地址 (下载地址不是http或https: file:)，不进行更新"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    answerStatus = c.status;
    answer = c.body;
    EXPECT_FALSE(Run());
    EXPECT_EQ(output, c.line + "\n");
    EXPECT_EQ(DownloadRequests(), 0);
  }
}

// The server's version text stays on its line: it cannot print lines of its own.
TEST_F(UpdateRun, TheOfferLineKeepsTheServersTextOnOneLine) {
  Install(drives.D());
  answer = R"({"flag":1,"data":{"version":"2.0.0\n操作完成。","url":"/files/stock-relay.jar"}})";
  EXPECT_TRUE(Run());
  EXPECT_NE(output.find("更新服务器提供版本 2.0.0?操作完成。，下载自 "), std::string::npos)
      << output;
  EXPECT_EQ(output.find("\n操作完成。\n"), output.rfind("\n操作完成。\n")) << output;
}

TEST_F(UpdateRun, WithoutAnInstallationNothingIsDownloaded) {
  WriteFile(Download(), "left by an earlier run");
  // The offer is taken, and goes no further.
  EXPECT_TRUE(Run());
  EXPECT_EQ(ReadFile(Download()), "left by an earlier run");
  EXPECT_EQ(DownloadRequests(), 0);
  EXPECT_EQ(output, "未找到已安装的程序，不进行更新\n");
}

// A build without an update server asks nobody and says so.
TEST_F(UpdateRun, WithoutAnUpdateServerNobodyIsAsked) {
  Install(drives.D());
  settings.serverUrl.clear();
  EXPECT_FALSE(Run());
  EXPECT_EQ(output, "未配置更新服务器，不检查更新\n");
  EXPECT_EQ(DownloadRequests(), 0);
  EXPECT_EQ(drives.NetCalls(), "");
}

// What the offer says of its JAR holds even unsigned: its size bounds the
// download, and the copy that would be installed must be that size and hash.
TEST_F(UpdateRun, TheOfferedSizeAndHashAreHeldAgainstTheDownload) {
  const std::string jar = JarBytes();
  const std::string size = std::to_string(jar.size());
  const std::string hash = testing_support::Sha256Hex(jar);
  const struct {
    const char* what;
    std::string data;  // besides version and url
    bool installs;
    const char* says;
  } rows[] = {
      {"size and hash as served", R"("size":)" + size + R"(,"sha256":")" + hash + "\"", true,
       "服务已运行: stock-relay"},
      {"size as a string", R"("size":")" + size + "\"", true, "服务已运行: stock-relay"},
      {"a smaller size", R"("size":)" + std::to_string(jar.size() - 1), false,
       "错误: 下载新的JAR文件失败 ("},
      {"a larger size", R"("size":)" + std::to_string(jar.size() + 1), false,
       "错误: 新的JAR文件与更新信息不符 (文件大小与更新信息不符)"},
      {"another hash", R"("sha256":")" + testing_support::Sha256Hex(jar + "x") + "\"", false,
       "错误: 新的JAR文件与更新信息不符 (SHA-256与更新信息不符)"},
      {"a hash in capitals", R"("sha256":"ABC")", false, "错误: 更新信息未通过校验 ("},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(drives.D() / "orv");
    fs::remove(drives.NetLog());
    Install(drives.D());
    answer =
        R"({"flag":1,"data":{"version":"2.0.0","url":"/files/stock-relay.jar",)" + row.data + "}}";
    Run();
    EXPECT_EQ(ReadFile(InstalledJar(drives.D())), row.installs ? jar : "installed") << output;
    EXPECT_EQ(drives.NetCalls(), row.installs ? "stop stock-relay\nstart stock-relay\n" : "")
        << output;
    EXPECT_NE(output.find(row.says), std::string::npos) << output;
  }
}

// The JAR installed now, and one that was put back because the service did
// not run with it, are not installed: the service is never stopped for them.
// An offer that names its hash is judged before the download.
TEST_F(UpdateRun, TheInstalledJarAndOnePutBackAreNotInstalled) {
  const std::string jar = JarBytes();
  const std::string hash = testing_support::Sha256Hex(jar);
  const std::string hashed = R"(,"sha256":")" + hash + "\"";
  const std::string place = (drives.StateDir() / "state").string();
  const std::string same = "提供的JAR文件与已安装的相同 (SHA-256 " + hash + ")，不进行更新\n";
  const std::string putBack =
      "错误: 该JAR文件曾因服务未能运行而被换回 (SHA-256 " + hash + ", " + place + ")，不进行更新\n";
  const std::string recordOfOurs = "RolledBackJarSha256=" + hash + "\n";
  std::string recordInCapitals = recordOfOurs;
  for (std::size_t at = recordInCapitals.find('=') + 1; at < recordInCapitals.size(); ++at)
    recordInCapitals[at] = static_cast<char>(std::toupper(recordInCapitals[at]));
  const std::string recordOfAnother =
      "RolledBackJarSha256=" + testing_support::Sha256Hex(jar + "x") + "\n";
  const struct {
    const char* what;
    std::string installed;
    std::string data;    // besides version and url
    std::string record;  // the state file before; none when empty
    bool rootsOwn;
    int downloads;
    bool installs;
    std::string says;
  } rows[] = {
      {"the installed JAR, unhashed", jar, "", "", true, 1, false, same + "操作完成。\n"},
      {"the installed JAR, hashed", jar, hashed, "", true, 0, false, same},
      {"a JAR put back, unhashed", "installed", "", recordOfOurs, true, 1, false,
       putBack + "操作完成。\n"},
      {"a JAR put back, hashed", "installed", hashed, recordOfOurs, true, 0, false, putBack},
      {"a JAR put back, recorded by hand in capitals", "installed", hashed, recordInCapitals, true,
       0, false, putBack},
      {"another JAR put back", "installed", hashed, recordOfAnother, true, 1, true,
       "服务已运行: stock-relay\n"},
      {"a record root does not own", "installed", hashed, recordOfOurs, false, 1, true,
       "警告: 无法读取被换回的JAR文件的记录 (" + place + ")\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(drives.D() / "orv");
    fs::remove(drives.NetLog());
    fs::remove_all(drives.StateDir());
    Install(drives.D());
    WriteFile(InstalledJar(drives.D()), row.installed);
    if (!row.record.empty()) {
      fs::create_directories(drives.StateDir());
      WriteFile(drives.StateDir() / "state", row.record);
      if (!row.rootsOwn) {
        ASSERT_EQ(chown(place.c_str(), 65534, 65534), 0);
      }
    }
    answer =
        R"({"flag":1,"data":{"version":"2.0.0","url":"/files/stock-relay.jar")" + row.data + "}}";
    const int downloadsBefore = DownloadRequests();
    EXPECT_TRUE(Run());
    EXPECT_EQ(DownloadRequests() - downloadsBefore, row.downloads) << output;
    EXPECT_EQ(ReadFile(InstalledJar(drives.D())), row.installs ? jar : row.installed) << output;
    EXPECT_EQ(drives.NetCalls(), row.installs ? "stop stock-relay\nstart stock-relay\n" : "")
        << output;
    EXPECT_NE(output.find(row.says), std::string::npos) << output;
    if (row.downloads == 0) {
      EXPECT_EQ(output.find("应用目录: "), std::string::npos) << output;
    }
    const fs::path state = drives.StateDir() / "state";
    EXPECT_EQ(fs::exists(state) ? ReadFile(state) : "", row.record) << "kept as it was";
  }
}

// The download goes into the installation's own folder, nowhere else: an
// earlier version's download beside the program is neither resumed nor
// written, truncated or deleted.
TEST_F(UpdateRun, AnOfferIsDownloadedAfreshAndInstalledOnDOnly) {
  Install(drives.D());
  Install(drives.C());
  WriteFile(Download(), "stale bytes that must not be resumed");

  EXPECT_TRUE(Run());
  EXPECT_EQ(ReadFile(InstalledJar(drives.D())), JarBytes());
  EXPECT_EQ(ReadFile(Download()), "stale bytes that must not be resumed");
  EXPECT_FALSE(fs::exists(InstalledJar(drives.D()).string() + ".part"));
  EXPECT_EQ(ReadFile(InstalledJar(drives.C())), "installed");
  EXPECT_FALSE(fs::exists(drives.C() / "orv" / "stock-relay" / "backUp"));
  EXPECT_EQ(drives.NetCalls(), "stop stock-relay\nstart stock-relay\n");
  EXPECT_NE(output.find("替换JAR文件: D:\\orv\\stock-relay\\app\\stock-relay.jar.part -> "
                        "D:\\orv\\stock-relay\\app\n"),
            std::string::npos)
      << output;
  // The offer taken, and the download's start and end, before the upgrade.
  const std::string host = ServerUrl().substr(std::string("http://").size());
  EXPECT_EQ(
      output.rfind("更新服务器提供版本 2.0.0，下载自 " + host +
                       "\n开始下载: D:\\orv\\stock-relay\\app\\stock-relay.jar.part\n下载完成: " +
                       std::to_string(JarBytes().size()) + " 字节，用时 ",
                   0),
      0u)
      << output;
}

TEST_F(UpdateRun, ADownloadThatIsNoJarOrFailedIsNotInstalled) {
  struct Case {
    const char* what;
    int status;
    std::string body;
    const char* line;  // the one that says why
  } cases[] = {
      {"an error page", 200, "<html><body>Service Unavailable</body></html>",
       "错误: 新的JAR文件不完整或已损坏 ("},
      {"an empty body", 200, "", "错误: 新的JAR文件不完整或已损坏 ("},
      {"a refused request", 404, "not found", "错误: 下载新的JAR文件失败 ("},
  };
  tunable::ScopedTunable oneAttempt(comm::http::tunables::downloadAttempts, 1);
  tunable::ScopedTunable noPause(comm::http::tunables::downloadRetryPause, 0ms);
  Install(drives.D());
  for (const Case& c : cases) {
    jarStatus = c.status;
    jarBody = c.body;
    EXPECT_TRUE(Run()) << c.what;
    EXPECT_EQ(ReadFile(InstalledJar(drives.D())), "installed") << c.what;
    EXPECT_EQ(drives.NetCalls(), "") << c.what;
    EXPECT_NE(output.find(c.line), std::string::npos) << c.what << "\n" << output;
  }
  EXPECT_EQ(DownloadRequests(), 3);
}

TEST_F(UpdateRun, ADownloadThatIsNotAWholeArchiveIsRefusedBeforeTheServiceIsStopped) {
  const std::string jar = JarBytes();
  struct Case {
    const char* what;
    std::string body;
    std::string reason;
  } cases[] = {
      {"cut short", jar.substr(0, jar.size() / 2), "文件末尾没有ZIP目录结束记录"},
      {"spliced from two", jar.substr(0, 5000) + jar, "找到的ZIP归档嵌在另一个归档之中"},
  };
  Install(drives.D());
  for (const Case& c : cases) {
    jarBody = c.body;
    EXPECT_TRUE(Run()) << c.what;
    EXPECT_EQ(ReadFile(InstalledJar(drives.D())), "installed") << c.what;
    EXPECT_EQ(drives.NetCalls(), "") << c.what;
    EXPECT_NE(
        output.find("找到新的JAR文件，开始处理...\n错误: 新的JAR文件不完整或已损坏 (" + c.reason),
        std::string::npos)
        << output;
    EXPECT_NE(output.find("，不进行JAR包替换升级\n操作完成。\n"), std::string::npos) << output;
  }
}

// A root some user made on D: (the tests run as root; "nobody" stands for
// that user) loses to the administrators' root on C:, and says why.
TEST_F(UpdateRun, AUsersRootOnDIsPassedOverForTheAdministratorsOnC) {
  Install(drives.D());
  Install(drives.C());
  ASSERT_EQ(lchown((drives.D() / "orv" / "stock-relay").c_str(), 65534, 65534), 0);

  EXPECT_TRUE(Run());
  EXPECT_EQ(output.rfind("跳过 D:\\orv\\stock-relay: D:\\orv\\stock-relay 的所有者不是 "
                         "Administrators、SYSTEM 或 TrustedInstaller\n更新服务器提供版本 2.0.0",
                         0),
            0u)
      << output;
  EXPECT_NE(output.find("\n应用目录: C:\\orv\\stock-relay\\app\n"), std::string::npos) << output;
  EXPECT_EQ(ReadFile(InstalledJar(drives.C())), JarBytes());
  EXPECT_EQ(ReadFile(InstalledJar(drives.D())), "installed");
  EXPECT_FALSE(fs::exists(drives.D() / "orv" / "stock-relay" / "backUp"));
}

// What an interrupted run left where the download goes is removed, never
// followed: a link there to a file elsewhere leaves that file as it was.
TEST_F(UpdateRun, ALeftoverWhereTheDownloadGoesIsRemovedNotFollowed) {
  struct Row {
    const char* what;
    bool link;
  } rows[] = {{"a read-only half download", false}, {"a link to a file elsewhere", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Install(drives.D());
    const fs::path part = InstalledJar(drives.D()).string() + ".part";
    const fs::path elsewhere = drives.C() / "elsewhere.txt";
    WriteFile(elsewhere, "not the watchdog's");
    fs::remove(part);
    if (row.link) {
      fs::create_symlink(elsewhere, part);
    } else {
      WriteFile(part, "PK\x03\x04 half of an earlier download");
      fs::permissions(part, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    EXPECT_TRUE(Run());
    EXPECT_EQ(ReadFile(InstalledJar(drives.D())), JarBytes());
    EXPECT_EQ(ReadFile(elsewhere), "not the watchdog's");
    EXPECT_FALSE(fs::exists(fs::symlink_status(part)));
  }
}

// The folders are held from the start of the run: "app" renamed away and
// replaced by a link while the service stops, the new JAR still lands in the
// real folder that was checked, and nothing is written where the link points.
TEST_F(UpdateRun, ALinkSwappedInAfterTheStartIsNotFollowed) {
  Install(drives.D());
  const fs::path root = drives.D() / "orv" / "stock-relay";
  const fs::path elsewhere = drives.C() / "elsewhere";
  fs::create_directories(elsewhere);
  drives.WriteNet(drives.LogNet() + "[ \"$1\" = stop ] && mv '" + (root / "app").string() + "' '" +
                  (root / "moved").string() + "' && ln -s '" + elsewhere.string() + "' '" +
                  (root / "app").string() + "'\n" + drives.ServeNet());

  EXPECT_TRUE(Run());
  EXPECT_EQ(ReadFile(root / "moved" / "stock-relay.jar"), JarBytes());
  EXPECT_TRUE(fs::is_empty(elsewhere)) << output;
  EXPECT_EQ(drives.NetCalls(), "stop stock-relay\nstart stock-relay\n");
  EXPECT_NE(output.find("服务已运行: stock-relay\n操作完成。\n"), std::string::npos) << output;
}

}  // namespace

namespace {

// One log-on session's update in a process of its own, started through this
// test program by the test below; a fresh process, so nothing of the test's
// server threads, sockets or locks is carried into it.
TEST(UpdateRunSession, DISABLED_RunOnce) {
  const char* server = std::getenv("WARDKEEP_TEST_UPDATE_SERVER");
  const char* out = std::getenv("WARDKEEP_TEST_SESSION_OUTPUT");
  if (server == nullptr || out == nullptr)
    GTEST_SKIP() << "started by OneUpdateAtATimeOnTheMachine";
  ::testing::internal::CaptureStdout();
  upgrade::RunUpdate({server, "", server});
  WriteFile(out, ::testing::internal::GetCapturedStdout());
}

// Two log-on sessions (two runtime directories) start the update at once: the
// second finds the first one's machine-wide lock and leaves the installation
// and the download alone.
TEST_F(UpdateRun, OneUpdateAtATimeOnTheMachine) {
  Install(drives.D());
  const fs::path stopping = drives.D() / "first-is-stopping";
  const fs::path release = drives.D() / "release";
  drives.WriteNet(drives.LogNet() + "[ \"$1\" = stop ] && { : > '" + stopping.string() +
                  "'; i=0; while [ ! -e '" + release.string() +
                  "' ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done; }\n" + drives.ServeNet());
  auto session = [this](const char* name) {
    const fs::path runtime = drives.C() / name;
    fs::create_directories(runtime);
    return std::make_unique<testing_support::ChildProcess>(
        std::vector<std::string>{fs::read_symlink("/proc/self/exe").string(),
                                 "--gtest_also_run_disabled_tests",
                                 "--gtest_filter=UpdateRunSession.DISABLED_RunOnce"},
        std::map<std::string, std::string>{
            {"XDG_RUNTIME_DIR", runtime.string()},
            {"WARDKEEP_TEST_UPDATE_SERVER", ServerUrl()},
            {"WARDKEEP_TEST_SESSION_OUTPUT", (runtime / "output").string()}},
        runtime);
  };
  // Generous: a loaded machine may take a while to download and stage; the
  // children are killed when the test ends, whatever happens.
  auto first = session("run1");
  for (int i = 0; i < 1200 && !fs::exists(stopping) && first->Running(); ++i)
    std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(fs::exists(stopping)) << first->Stdout() << first->Stderr();
  auto second = session("run2");
  EXPECT_TRUE(second->Wait(60s).has_value());
  WriteFile(release, "");
  EXPECT_TRUE(first->Wait(60s).has_value());

  EXPECT_EQ(ReadFile(drives.C() / "run2" / "output"), "另一个会话正在更新，跳过本次更新\n");
  EXPECT_NE(ReadFile(drives.C() / "run1" / "output").find("服务已运行: stock-relay\n操作完成。\n"),
            std::string::npos);
  EXPECT_EQ(drives.NetCalls(), "stop stock-relay\nstart stock-relay\n");
  EXPECT_EQ(DownloadRequests(), 1);
  EXPECT_EQ(ReadFile(InstalledJar(drives.D())), JarBytes());
}

}  // namespace

namespace {

// Without the rights to stop and start the service, or without the service,
// nothing is downloaded and nothing is stopped; one line says why.
TEST_F(UpdateRun, WithoutControlOfTheServiceNothingIsDownloaded) {
  Install(drives.D());
  struct Row {
    const char* what;
    bool registered;
  } rows[] = {{"no rights to stop and start it", true}, {"not registered", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.registered) {
      drives.services.RefuseStartAndStop("stock-relay");
    } else {
      fs::remove(drives.services.UnitFile("stock-relay"));
    }
    EXPECT_TRUE(Run());
    EXPECT_EQ(output, "错误: 没有停止和启动服务的权限，或服务不存在: stock-relay，不进行更新\n");
    EXPECT_EQ(DownloadRequests(), 0);
    EXPECT_EQ(drives.NetCalls(), "");
    EXPECT_EQ(ReadFile(InstalledJar(drives.D())), "installed");
  }
}

// The disk fills while the download is written into the application folder:
// the run says the download failed, the staged file goes, the service and the
// installed JAR are never touched. The run is a child of its own, limited.
TEST_F(UpdateRun, ADiskThatFillsDuringTheDownloadLeavesTheServiceAlone) {
  tunable::ScopedTunable oneAttempt(comm::http::tunables::downloadAttempts, 1);
  Install(drives.D());
  testing_support::TempDir scratch;
  const fs::path out = scratch.path() / "out.txt";
  const struct Row {
    const char* what;
    rlim_t fileSizeLimit;  // bytes any one file may reach: the progress lines fit
  } rows[] = {{"full after a few bytes", 4096}, {"full half-way", jarBody.size() / 2}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove(drives.NetLog());
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      if (std::freopen(out.c_str(), "w", stdout) == nullptr) _exit(99);
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{row.fileSizeLimit, row.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
      upgrade::RunUpdate(settings);
      std::fflush(stdout);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const std::string lines = ReadFile(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << lines;
    EXPECT_NE(lines.find("错误: 下载新的JAR文件失败 ("), std::string::npos) << lines;
    EXPECT_EQ(lines.find("停止服务"), std::string::npos) << lines;
    EXPECT_EQ(drives.NetCalls(), "");
    EXPECT_EQ(ReadFile(InstalledJar(drives.D())), "installed");
    EXPECT_FALSE(fs::exists(InstalledJar(drives.D()).parent_path() / "stock-relay.jar.part"));
  }
}

}  // namespace
