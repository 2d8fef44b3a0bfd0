# CLumMidi against the kernel's ALSA sequencer. The test binary runs inside the small VM
# of the alsa-vm tool (shared/tools beside the repository), all tests in one boot; where
# the VM cannot start the test is reported as skipped.
add_executable(test_alsa ${CMAKE_CURRENT_LIST_DIR}/AlsaMidiTest.cpp)
target_link_libraries(test_alsa PRIVATE qm_test_sequencer qm_test_main_qt qm_midi GTest::gmock)
add_test(NAME AlsaSequencer
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/run-in-vm.sh ${CMAKE_SOURCE_DIR}/../shared/tools/alsa-vm
          ${CMAKE_BINARY_DIR} $<TARGET_FILE:test_alsa>)
set_tests_properties(AlsaSequencer PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 400 LABELS alsa)
