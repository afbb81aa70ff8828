# The Windows program's imports that are not among the system's KnownDLLs are
# loaded on first use instead of at start-up. A DLL imported at start-up is
# looked for in the program's own folder first, before main can restrict the
# search to the system folder; where that folder is writable by others, a
# planted bcrypt.dll would run with the watchdog's rights.
#
# For each such library a delay-import library of the same name is made from
# the toolchain's import library (every export it names) and put on the
# program's library path ahead of the toolchain's, so "-lbcrypt" finds it.
set(WARDKEEP_DELAY_LOADED bcrypt crypt32 secur32)

function(wardkeep_delay_load target)
  set(dir ${CMAKE_BINARY_DIR}/delay-load)
  file(MAKE_DIRECTORY ${dir})
  find_program(wardkeep_dlltool NAMES x86_64-w64-mingw32-dlltool REQUIRED)
  find_program(wardkeep_nm NAMES x86_64-w64-mingw32-nm REQUIRED)
  foreach(name ${WARDKEEP_DELAY_LOADED})
    find_library(wardkeep_import_${name} NAMES lib${name}.a NO_CMAKE_FIND_ROOT_PATH
                 PATHS /usr/x86_64-w64-mingw32/lib REQUIRED NO_DEFAULT_PATH)
    set(import ${wardkeep_import_${name}})
    set(def ${dir}/${name}.def)
    set(delay ${dir}/lib${name}.a)
    if(NOT EXISTS ${delay} OR ${import} IS_NEWER_THAN ${delay})
      execute_process(COMMAND ${wardkeep_nm} -g ${import} OUTPUT_VARIABLE symbols
                      COMMAND_ERROR_IS_FATAL ANY)
      string(REGEX MATCHALL "__imp_[A-Za-z0-9_@?$]+" exports "${symbols}")
      list(TRANSFORM exports REPLACE "^__imp_" "")
      list(REMOVE_DUPLICATES exports)
      list(SORT exports)
      list(JOIN exports "\n" lines)
      file(WRITE ${def} "LIBRARY ${name}.dll\nEXPORTS\n${lines}\n")
      # dlltool names its objects and symbols after the paths it is given and
      # its process id: relative names in the library's own folder and a fixed
      # prefix, so two builds anywhere are the same bytes.
      execute_process(COMMAND ${wardkeep_dlltool} --temp-prefix wkdelay_${name}
                              --input-def ${name}.def --output-delaylib lib${name}.a
                      WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
  # Named relative to the build folder, where the link runs: the linker orders
  # import sections by their library's path, and an absolute build path would
  # put these before or after the system's own depending on where one builds.
  file(RELATIVE_PATH relative ${CMAKE_BINARY_DIR} ${dir})
  target_link_options(${target} BEFORE PRIVATE -L${relative})
  # The helper every delay-load thunk calls.
  target_link_libraries(${target} PRIVATE delayimp)
endfunction()
