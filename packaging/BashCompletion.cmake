# Writes quorl's bash completion script: cmake -DQUORL=... -DOUT=... -P BashCompletion.cmake
execute_process(COMMAND ${QUORL} completion bash OUTPUT_FILE ${OUT}.tmp RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "quorl completion bash failed: ${status}")
endif()
file(RENAME ${OUT}.tmp ${OUT})
