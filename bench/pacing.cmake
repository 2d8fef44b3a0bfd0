# Paced and unpaced transmission: bench_pacing prints each figure with its goal, from the
# virtual back end and, through the alsa-vm tool beside the repository, from the real
# ALSA sequencer (left out, and said so, where the tool is not there).
if(TARGET qm_transfer AND TARGET qm_windows AND TARGET qm_test_support)
  add_executable(bench_pacing ${CMAKE_CURRENT_LIST_DIR}/PacingBench.cpp)
  target_link_libraries(bench_pacing PRIVATE qm_transfer qm_windows qm_test_support)
  target_compile_definitions(bench_pacing PRIVATE
    QUILLMARK_ALSA_VM="${CMAKE_SOURCE_DIR}/../shared/tools/alsa-vm"
    QUILLMARK_BUILD_DIR="${CMAKE_BINARY_DIR}")
endif()
