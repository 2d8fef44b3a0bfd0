# `quillmark send` of a 4104-byte file to the virtual instrument, paced at wire speed:
# bench_cli prints the wall time against the wire time, and the start-up.
if(TARGET quillmark)
  add_executable(bench_cli ${CMAKE_CURRENT_LIST_DIR}/CliBench.cpp)
  add_dependencies(bench_cli quillmark)
  target_compile_definitions(bench_cli PRIVATE QUILLMARK_BINARY="$<TARGET_FILE:quillmark>")
endif()
