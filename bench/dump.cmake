# Recording a whole dump on the virtual MIDI back end: a 16 MiB stream of messages from
# 8 bytes to 4 KiB. bench_dump prints its figures.
if(TARGET qm_transfer AND TARGET qm_app)
  add_executable(bench_dump ${CMAKE_CURRENT_LIST_DIR}/DumpBench.cpp)
  target_link_libraries(bench_dump PRIVATE qm_transfer qm_app)
endif()
