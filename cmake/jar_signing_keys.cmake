# The JAR-signing public keys a build carries: WARDKEEP_JAR_SIGNING_KEY is empty
# or a list of keys separated by commas or semicolons (several while one is
# being replaced by the next), each 44 Base64 characters of the 32 raw bytes
# of an Ed25519 public key. A point of small order is no key: one forged
# signature verifies with it for many messages.
#   wardkeep_jar_signing_keys(<text> <out-list>)
set(WARDKEEP_SMALL_ORDER_KEYS_FILE ${CMAKE_CURRENT_LIST_DIR}/ed25519_small_order_keys.txt)

function(wardkeep_jar_signing_keys text out)
  file(STRINGS ${WARDKEEP_SMALL_ORDER_KEYS_FILE} small_order REGEX "^[^#]")
  string(REPLACE "," ";" entries "${text}")
  string(STRIP "${entries}" stripped)
  set(keys)
  if(NOT stripped STREQUAL "")
    foreach(key IN LISTS entries)
      string(STRIP "${key}" key)
      string(LENGTH "${key}" length)
      # 32 bytes take 43 Base64 characters and one "=".
      if(NOT length EQUAL 44 OR NOT key MATCHES "^[A-Za-z0-9+/]+[AEIMQUYcgkosw048]=$")
        message(FATAL_ERROR "WARDKEEP_JAR_SIGNING_KEY: each key must be 44 Base64 characters (the "
                            "32 raw bytes of an Ed25519 public key, as scripts/sign-jar keygen "
                            "prints); \"${key}\" has ${length} characters")
      endif()
      list(FIND small_order "${key}" weak)
      if(NOT weak EQUAL -1)
        message(FATAL_ERROR "WARDKEEP_JAR_SIGNING_KEY: ${key} is a point of small order, not a "
                            "public key: any forged signature could pass with it")
      endif()
      list(APPEND keys "${key}")
    endforeach()
  endif()
  set(${out} "${keys}" PARENT_SCOPE)
endfunction()
