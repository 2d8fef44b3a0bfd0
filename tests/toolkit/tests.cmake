quillmark_test(toolkit QT LIBS qm_toolkit qm_log qm_test_dialogs)
