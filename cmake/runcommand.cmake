# Included by the packaging scripts: run(COMMAND ARGS...) runs a command and
# stops the script with its output when it fails.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        list(JOIN ARGN " " command)
        message(FATAL_ERROR "${command} failed:\n${output}")
    endif()
endfunction()
