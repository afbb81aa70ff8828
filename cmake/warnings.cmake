# WARDKEEP_WARNINGS: what each of our targets is compiled with (per target, so
# the found dependencies keep their own). Warnings as errors is for CI, where a
# new warning should stop the change; a user's newer compiler may warn where
# ours did not, so it is off by default.
option(WARDKEEP_WARNINGS_AS_ERRORS "Turn compiler warnings into errors" OFF)
set(CMAKE_COMPILE_WARNING_AS_ERROR ${WARDKEEP_WARNINGS_AS_ERRORS})

if(MSVC)
  set(WARDKEEP_WARNINGS /W4 /utf-8)
else()
  set(WARDKEEP_WARNINGS -Wall -Wextra)
endif()
