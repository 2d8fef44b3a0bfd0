quillmark_test(transfer QT LIBS qm_transfer qm_app)

# The MIDI manager against the kernel's ALSA sequencer and amidi, inside the alsa-vm
# tool's VM as in tests/alsa; reported as skipped where the VM cannot start.
if(TARGET qm_transfer AND TARGET qm_app)
  file(GLOB transfer_alsa_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/alsa/*.cpp)
  add_executable(test_transfer_alsa ${transfer_alsa_sources})
  target_link_libraries(test_transfer_alsa PRIVATE qm_test_sequencer qm_test_main_qt qm_transfer
                                                   qm_app)
  add_test(NAME TransferAlsaSequencer
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/../alsa/run-in-vm.sh
            ${CMAKE_SOURCE_DIR}/../shared/tools/alsa-vm ${CMAKE_BINARY_DIR}
            $<TARGET_FILE:test_transfer_alsa> --gtest_filter=-DumpReceiveAlsa*:*DumpReceiveAlsa*)
  set_tests_properties(TransferAlsaSequencer PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 400
                       LABELS alsa)
  # The mebibyte streams take a VM run of their own.
  add_test(NAME TransferDumpAlsaSequencer
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/../alsa/run-in-vm.sh
            ${CMAKE_SOURCE_DIR}/../shared/tools/alsa-vm ${CMAKE_BINARY_DIR}
            $<TARGET_FILE:test_transfer_alsa> --gtest_filter=DumpReceiveAlsa*:*DumpReceiveAlsa*)
  set_tests_properties(TransferDumpAlsaSequencer PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 400
                       LABELS alsa)
endif()
