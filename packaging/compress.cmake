# cmake -DINPUT=FILE -DOUTPUT=FILE.gz -P compress.cmake: gzip at the highest level with no name or time
# stamp inside, so the packages come out the same on every build.
execute_process(COMMAND gzip -9 -n -c ${INPUT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not compress ${INPUT}")
endif()
