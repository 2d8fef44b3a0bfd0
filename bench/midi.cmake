# The MIDI port layer: input parser throughput, and SysEx blocks per second through the
# virtual back end.
add_executable(bench_midi ${CMAKE_CURRENT_LIST_DIR}/MidiBench.cpp)
target_link_libraries(bench_midi PRIVATE qm_midi benchmark::benchmark)
