// A configuration file planted for OpenSSL (through OPENSSL_CONF, or in the
// folder the library was built to look in) must not change how this program
// encrypts or verifies: it could switch every algorithm off, load a module or
// make the elevated program reach another host.
#include <gtest/gtest.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "http/http_download.h"
#include "http/http_session.h"
#include "os/session.h"
#include "support/scoped_env.h"
#include "support/target.h"
#include "support/temp_dir.h"
#include "support/windows_form_path.h"
#include "update/request_encryption.h"
#include "update/update_config.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;

// Only the null provider: with it in force nothing can be encrypted or verified.
constexpr char kHostileConfiguration[] =
    "openssl_conf = openssl_init\n"
    "[openssl_init]\n"
    "providers = provider_sect\n"
    "[provider_sect]\n"
    "null = null_sect\n"
    "[null_sect]\n"
    "activate = 1\n";

// Child side: the program's first use of OpenSSL, or of a transfer, in a
// process of its own so nothing has initialised either library before.
// Writes what it could encrypt afterwards.
TEST(CryptoConfigurationChild, DISABLED_FirstUse) {
  const char* result = std::getenv("WARDKEEP_TEST_RESULT");
  const char* first = std::getenv("WARDKEEP_TEST_FIRST");
  ASSERT_NE(result, nullptr);
  ASSERT_NE(first, nullptr);
  const std::string nobody = "http://127.0.0.1:9/";
  std::optional<comm::http::HttpSession> session;
  std::optional<comm::http::HttpDownload> download;
  if (std::string(first) == "session") session.emplace(nobody);
  if (std::string(first) == "download") {
    download.emplace(nobody, testing_support::WindowsFormPath(fs::path(result).concat(".part")));
  }
  if (session || download) {
    // What a libcurl that speaks TLS through OpenSSL asks for at its start-up
    // (the Windows one uses the system's TLS): once a transfer exists, it
    // must find the work done without the file.
    OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CONFIG, nullptr);
  }
  std::string key(update::UpdatePublicKey);
  const std::string cipher = update::EncryptWithPublicKey("v1.0.0", key);
  std::ofstream(result) << (cipher.size() == 88 ? "encrypted" : "refused");
}

struct LibraryContextFree {
  void operator()(OSSL_LIB_CTX* context) const { OSSL_LIB_CTX_free(context); }
};

TEST(CryptoConfiguration, APlantedConfigurationChangesNothing) {
  if (!testing_support::kWindowsTarget) {
    // Debian's libssl, loaded with libcurl, reads the configuration in its
    // constructor, before main: natively the program trusts the environment of
    // the user who starts it (sudo clears OPENSSL_CONF).
    GTEST_SKIP() << "natively the system's libssl loads its configuration before main";
  }
  TempDir temp;
  const fs::path configuration = temp / "openssl.cnf";
  std::ofstream(configuration) << kHostileConfiguration;

  // The file is hostile when loaded: the check below could fail.
  std::unique_ptr<OSSL_LIB_CTX, LibraryContextFree> loaded(OSSL_LIB_CTX_new());
  ASSERT_TRUE(loaded);
  ASSERT_EQ(OSSL_LIB_CTX_load_config(loaded.get(), configuration.string().c_str()), 1);
  EVP_MD* sha256 = EVP_MD_fetch(loaded.get(), "SHA256", nullptr);
  EXPECT_EQ(sha256, nullptr) << "the planted configuration would not disable anything";
  EVP_MD_free(sha256);

  ScopedEnv conf("OPENSSL_CONF", configuration.string());
  ScopedEnv result("WARDKEEP_TEST_RESULT", (temp / "result").string());
  // Whichever comes first, the update check's encryption or a transfer.
  for (const char* first : {"encrypt", "session", "download"}) {
    SCOPED_TRACE(first);
    fs::remove(temp / "result");
    ScopedEnv firstUse("WARDKEEP_TEST_FIRST", first);
    // This very program, run through cmd.exe, which drops the outer quotes.
    const std::string command = "\"\"" + fs::path(os::OwnProgramPath().value()).string() +
                                "\" --gtest_also_run_disabled_tests --gtest_brief=1 "
                                "--gtest_filter=CryptoConfigurationChild.DISABLED_FirstUse\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(testing_support::ReadFile(temp / "result"), "encrypted");
  }
}

TEST(CryptoConfiguration, TheLibraryNamesNoFolderOfTheBuildMachine) {
  // Where OpenSSL would look for its files if it ever did: on Windows a device
  // path that can hold no file; natively the system's own, root-owned folder.
  const std::string folder = OpenSSL_version(OPENSSL_DIR);
  const std::string modules = OpenSSL_version(OPENSSL_MODULES_DIR);
  if (testing_support::kWindowsTarget) {
    EXPECT_EQ(folder, "OPENSSLDIR: \"//./NUL/wardkeep-openssl/ssl\"");
    EXPECT_EQ(modules.rfind("MODULESDIR: \"//./NUL/", 0), 0u) << modules;
  }
  for (const std::string& text : {folder, modules}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(text.find(".cache"), std::string::npos);
    EXPECT_EQ(text.find("/root/"), std::string::npos);
    EXPECT_EQ(text.find("/home/"), std::string::npos);
  }
}

}  // namespace
