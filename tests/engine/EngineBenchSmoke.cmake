# A smoke run of sonvera-engine-bench: two repetitions after one warm-up, on
# the bundled takes. It passes when the program ends with 0 and prints every
# figure's line (the noisy take's saying it was matched to its noise and
# the soft one's that it was matched over the bound, the ways their figures
# are there to time); it judges no time (the figures are for
# reading, on a quiet machine, not for a test on a shared one).
#   cmake -DBENCH=<program> [-DEMULATOR=<runner>] -P EngineBenchSmoke.cmake
execute_process(COMMAND ${EMULATOR} ${BENCH} --repetitions 2 --warm-up 1
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "sonvera-engine-bench ended with ${result}:\n${out}${err}")
endif()
set(figure " +median +[0-9.]+ ms +p90 +[0-9.]+ ms +max +[0-9.]+ ms")
foreach(line "training, 5 takes${figure} +\\(limit 50 ms\\)"
             "take path, 3-s take${figure} +\\(limit 5 ms\\)"
             "end points${figure} +\\( *[0-9.]+ % of the path\\)"
             "take check${figure}"
             "replay check${figure}"
             "verification${figure}"
             "take path, white20${figure} +\\(limit 5 ms\\)"
             "white noise 20 dB down \\([a-z]+, matched to its noise\\)"
             "take path, soft12${figure} +\\(limit 5 ms\\)"
             "12 dB softer \\([a-z]+, matched over the bound\\)"
             "build [^;\n]+; clock: wall time"
             "2 repetitions per figure after 1 warm-up")
  if(NOT out MATCHES "${line}")
    message(FATAL_ERROR "no line matching \"${line}\" in:\n${out}${err}")
  endif()
endforeach()
message("${out}")
