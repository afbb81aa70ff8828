# What the version resource tells about this build, so that a file's Properties
# show which commit, which update server and which JAR-signing key it carries:
# generated/res/version.h, from res/version.h.in. Nothing in it depends on the
# time of the build.

string(REPLACE "." "," WARDKEEP_VERSION_NUMBERS "${WARDKEEP_VERSION}")

set(wardkeep_commit "${WARDKEEP_COMMIT}")
if(wardkeep_commit STREQUAL "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=8 HEAD
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE wardkeep_commit OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
  endif()
  if(wardkeep_commit STREQUAL "")
    set(wardkeep_commit "unknown")
  endif()
endif()
if(NOT wardkeep_commit MATCHES "^[0-9A-Za-z._-]+$")
  message(FATAL_ERROR "WARDKEEP_COMMIT must be a commit id; it is \"${wardkeep_commit}\"")
endif()
set(WARDKEEP_COMMIT_TEXT "${wardkeep_commit}")

# Each key's fingerprint: the first 16 hex digits of the SHA-256 of its 32 raw
# bytes, enough to tell keys apart at a glance.
include(${CMAKE_CURRENT_LIST_DIR}/jar_signing_keys.cmake)
wardkeep_jar_signing_keys("${WARDKEEP_JAR_SIGNING_KEY}" jar_keys)
if(NOT jar_keys)
  set(WARDKEEP_JAR_SIGNING_TEXT "none")
else()
  set(fingerprints)
  set(key_bytes ${CMAKE_BINARY_DIR}/generated/res/jar_signing_key.bin)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated/res)
  foreach(key IN LISTS jar_keys)
    file(REMOVE ${key_bytes})
    execute_process(COMMAND sh -c "printf '%s' \"$1\" | base64 -d > \"$2\"" sh "${key}" "${key_bytes}"
                    RESULT_VARIABLE decoded)
    set(key_size 0)
    if(EXISTS ${key_bytes})
      file(SIZE ${key_bytes} key_size)
    endif()
    if(NOT decoded EQUAL 0 OR NOT key_size EQUAL 32)
      file(REMOVE ${key_bytes})
      message(FATAL_ERROR "WARDKEEP_JAR_SIGNING_KEY must be Base64 of 32 raw bytes")
    endif()
    file(SHA256 ${key_bytes} key_hash)
    file(REMOVE ${key_bytes})
    string(SUBSTRING "${key_hash}" 0 16 key_fingerprint)
    list(APPEND fingerprints ${key_fingerprint})
  endforeach()
  string(JOIN " " fingerprint_text ${fingerprints})
  set(WARDKEEP_JAR_SIGNING_TEXT "Ed25519, SHA-256 ${fingerprint_text}")
endif()

# A build without an update server says so.
if(WARDKEEP_UPDATE_SERVER_URL STREQUAL "" OR WARDKEEP_UPDATE_SERVER_URL STREQUAL "none")
  set(WARDKEEP_UPDATE_SERVER_TEXT "none")
else()
  set(WARDKEEP_UPDATE_SERVER_TEXT "${WARDKEEP_UPDATE_SERVER_URL}")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/../res/version.h.in ${CMAKE_BINARY_DIR}/generated/res/version.h @ONLY)
