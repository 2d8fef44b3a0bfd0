# Recording a whole dump on the virtual MIDI back end: a 16 MiB stream of messages from
# 8 bytes to 4 KiB. bench_record prints its figures.
if(TARGET qm_transfer)
  add_executable(bench_record ${CMAKE_CURRENT_LIST_DIR}/RecordBench.cpp)
  target_link_libraries(bench_record PRIVATE qm_transfer)
endif()
