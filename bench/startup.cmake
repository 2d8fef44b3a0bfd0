# Start-up time and idle memory: bench_startup runs the application once and prints its
# figures; bench/startup.sh runs it several times.
if(TARGET qm_windows)
  add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/StartupBench.cpp)
  target_link_libraries(bench_startup PRIVATE qm_windows)
  add_dependencies(bench_startup quillmark_resources)
endif()
