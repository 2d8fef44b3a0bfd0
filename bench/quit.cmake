# Quit promptness: bench_quit runs the application once, quits it and prints how long
# each stage of the way out took.
if(TARGET qm_windows)
  add_executable(bench_quit ${CMAKE_CURRENT_LIST_DIR}/QuitBench.cpp)
  target_link_libraries(bench_quit PRIVATE qm_windows)
  add_dependencies(bench_quit quillmark_resources)
endif()
