quillmark_test(app QT LIBS qm_windows qm_app)
# The application tests also start the program itself.
if(TARGET test_app AND TARGET quillmark)
  add_dependencies(test_app quillmark)
  target_compile_definitions(test_app PRIVATE QUILLMARK_BINARY="$<TARGET_FILE:quillmark>")
endif()
