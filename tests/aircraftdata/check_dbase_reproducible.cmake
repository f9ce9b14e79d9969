# Regenerates dbase.xml from the source list and compares it with the shipped
# file byte for byte.
execute_process(COMMAND ${PYTHON} ${GENERATOR} ${SOURCE} ${OUTPUT} RESULT_VARIABLE generated)
if(NOT generated EQUAL 0)
  message(FATAL_ERROR "the generator failed: ${generated}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "data/dbase.xml differs from what tools/dbasegen/make_dbase.py makes")
endif()
