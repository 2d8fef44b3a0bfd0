# The SysEx transfer engine on the virtual MIDI back end: paced and unpaced transmit and
# a 16 MiB receive. bench_transfer prints its figures (--skip-paced leaves out the
# 21-second run at wire speed).
if(TARGET qm_transfer AND TARGET qm_windows)
  add_executable(bench_transfer ${CMAKE_CURRENT_LIST_DIR}/TransferBench.cpp)
  target_link_libraries(bench_transfer PRIVATE qm_transfer qm_windows)
endif()
