# Runs one fuzz target as a test (cmake -P): RUNS inputs with random seed SEED,
# starting from a copy of the seed corpus CORPUS in WORK, as libFuzzer adds what
# it finds to its first corpus directory and the seeds stay as committed. An
# input that makes the target fail is kept under FINDINGS as <NAME>-crash-...
# (or -leak-, -timeout-, -oom-).
#   cmake -DFUZZER=<program> -DNAME=<name> -DCORPUS=<dir> -DWORK=<dir> -DFINDINGS=<dir>
#         -DMAX_LEN=<bytes> -DRUNS=<n> -DSEED=<n> -P run_fuzzer.cmake
# WARDKEEP_FUZZ_RUNS and WARDKEEP_FUZZ_SEED in the environment replace RUNS and SEED.
foreach(setting RUNS SEED)
  if(DEFINED ENV{WARDKEEP_FUZZ_${setting}})
    set(${setting} "$ENV{WARDKEEP_FUZZ_${setting}}")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus")
file(GLOB seeds "${CORPUS}/*")
file(COPY ${seeds} DESTINATION "${WORK}/corpus")

execute_process(COMMAND "${FUZZER}" -runs=${RUNS} -seed=${SEED} -max_len=${MAX_LEN} -timeout=10
                        -rss_limit_mb=2048 -print_final_stats=0 -artifact_prefix=${WORK}/${NAME}-
                        "${WORK}/corpus"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(GLOB found "${WORK}/${NAME}-*")
  if(found)
    file(COPY ${found} DESTINATION "${FINDINGS}")
  endif()
  message(FATAL_ERROR "fuzz: ${NAME} found a fault (${result}); input kept in ${FINDINGS}/")
endif()
message(STATUS "fuzz: ${NAME} clean (${RUNS} inputs)")
file(REMOVE_RECURSE "${WORK}")
