# Keys and clicks are typed with QTest, as the platform would deliver them.
find_package(Qt6 REQUIRED COMPONENTS Test)
quillmark_test(windows QT LIBS qm_windows qm_app qm_platform_ui qm_toolkit qm_log qm_test_dialogs
  Qt6::Test)
if(TARGET test_windows)
  target_compile_definitions(test_windows PRIVATE
    QM_TEST_WINDOW_RESOURCES="${CMAKE_CURRENT_LIST_DIR}/resources")
endif()
