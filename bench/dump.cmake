# The message list and the dump report on a 16 MiB Sample Dump of 132,000 messages:
# bench_dump prints open-to-first-paint, scrolling and peak memory of the list, and the
# time and memory of the report that `quillmark show` prints.
if(TARGET qm_windows AND TARGET qm_app)
  add_executable(bench_dump ${CMAKE_CURRENT_LIST_DIR}/DumpBench.cpp)
  target_link_libraries(bench_dump PRIVATE qm_windows qm_app qm_file)
  add_dependencies(bench_dump quillmark_resources)
  if(TARGET quillmark)
    add_dependencies(bench_dump quillmark)
    target_compile_definitions(bench_dump PRIVATE QUILLMARK_BINARY="$<TARGET_FILE:quillmark>")
  endif()
endif()
