# Third-party libraries, found the standard way on both targets.
find_package(CURL REQUIRED)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
# Natively Debian's zlib1g-dev; for Windows the static libz.a of the dependency prefix.
find_package(ZLIB REQUIRED)

find_package(jsoncpp CONFIG QUIET)
if(TARGET jsoncpp_static AND NOT TARGET JsonCpp::JsonCpp)
  add_library(JsonCpp::JsonCpp ALIAS jsoncpp_static)
elseif(TARGET jsoncpp_lib AND NOT TARGET JsonCpp::JsonCpp)
  add_library(JsonCpp::JsonCpp ALIAS jsoncpp_lib)
endif()
if(NOT TARGET JsonCpp::JsonCpp)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
  add_library(JsonCpp::JsonCpp ALIAS PkgConfig::JSONCPP)
endif()

find_package(Threads REQUIRED)
if(WARDKEEP_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
