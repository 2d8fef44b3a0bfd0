# Unpaced dumps of growing size from amidi into the real ALSA sequencer, inside the
# alsa-vm tool's VM: bench_receive_loss prints, for each size, what arrived intact, the
# rate, and whether the result was exact, refused as lost, or damaged.
if(TARGET qm_transfer AND TARGET qm_test_sequencer)
  add_executable(bench_receive_loss ${CMAKE_CURRENT_LIST_DIR}/ReceiveLossBench.cpp)
  target_link_libraries(bench_receive_loss PRIVATE qm_transfer qm_test_sequencer Qt6::Core)
  target_compile_definitions(bench_receive_loss PRIVATE
    QUILLMARK_ALSA_VM="${CMAKE_SOURCE_DIR}/../shared/tools/alsa-vm"
    QUILLMARK_BUILD_DIR="${CMAKE_BINARY_DIR}")
endif()
